#pragma once
// Rotations stored as an angle in degrees about an axis, in glRotatef's
// argument order, and the unit quaternions they are combined through.
#include "math/vector.h"

namespace libgr {

inline constexpr double kDegreesToRadians = 0.017453292519943122;
inline constexpr double kRadiansToDegrees = 57.29577951308232;

struct grRotation {
  float angle = 0.0f;             // degrees, counter-clockwise about axis
  grVec3 axis{0.0f, 0.0f, 1.0f};  // stored as given, not normalised

  constexpr grRotation() = default;  // the identity
  constexpr grRotation(float angle_, const grVec3& axis_) : angle(angle_), axis(axis_) {}
  constexpr grRotation(float angle_, float x, float y, float z) : angle(angle_), axis(x, y, z) {}
};
static_assert(sizeof(grRotation) == 4 * sizeof(float), "grRotation is four contiguous floats");

inline constexpr grRotation grIdentityRotation{0.0f, 0.0f, 0.0f, 1.0f};

struct grQuaternion {
  float w = 1.0f, x = 0.0f, y = 0.0f, z = 0.0f;  // scalar part first

  constexpr grQuaternion() = default;
  constexpr grQuaternion(float w_, float x_, float y_, float z_) : w(w_), x(x_), y(y_), z(z_) {}
};

// Same axis, negated angle.
grRotation inverse(const grRotation& r);
// False for a zero angle or an exactly zero axis: no glRotatef is needed then.
bool isNonIdentity(const grRotation& r);

grQuaternion toQuaternion(const grRotation& r);
// Angle in [0, 360]; a vanishing vector part gives the axis (0, 0, 1).
grRotation toRotation(const grQuaternion& q);
// Applies b first, then a.
grRotation compose(const grRotation& a, const grRotation& b);

// Hamilton product, not renormalised.
grQuaternion operator*(const grQuaternion& a, const grQuaternion& b);
// Vector part of q * (0, v) and of (0, v) * q: the two halves of a rotation.
grVec3 leftProduct(const grQuaternion& q, const grVec3& v);
grVec3 rightProduct(const grVec3& v, const grQuaternion& q);

// The rotation about a x b that turns the direction of a into that of b.
grRotation rotationBetween(const grVec3& a, const grVec3& b);

}  // namespace libgr
