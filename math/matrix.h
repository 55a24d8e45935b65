#pragma once
// 4x4 matrices in OpenGL's column-major layout (row r, column c at 4c + r),
// points as column vectors multiplied on the right.
#include "math/rotation.h"
#include "math/vector.h"

namespace libgr {

struct grMatrix4 {
  float m[16];

  float& operator[](int i) { return m[i]; }
  const float& operator[](int i) const { return m[i]; }
  const float* data() const { return m; }
  float* data() { return m; }
};
static_assert(sizeof(grMatrix4) == 16 * sizeof(float), "grMatrix4 is sixteen contiguous floats");

inline constexpr grMatrix4 grIdentityMatrix{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};

// The same matrix glRotatef builds for this angle and axis (axis normalised).
grMatrix4 matrixFromRotation(const grRotation& r);
// The rotation matrix of a unit quaternion (not normalised first).
grMatrix4 matrixFromQuaternion(const grQuaternion& q);
// Angle in degrees; the identity matrix gives (0, (0, 0, 0)).
grRotation rotationFromMatrix(const grMatrix4& M);
// Unit axis of a half-turn matrix, read from its symmetric part (R = 2kk^T - I).
// Needed where the antisymmetric part, which normally gives the axis, is zero.
grVec3 halfTurnAxis(const grMatrix4& M);

// Rows 0 to 2 of M (p, 1); the fourth row is ignored, no division by w.
grVec3 transformPoint(const grVec3& p, const grMatrix4& M);
grMatrix4 transpose(const grMatrix4& M);
float determinant(const grMatrix4& M);
// Adjugate over determinant; a singular matrix gives infinities or NaNs.
grMatrix4 inverse(const grMatrix4& M);

}  // namespace libgr
