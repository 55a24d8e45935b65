// Rotation matrices from angle-axis and quaternions and back, point
// transform, transpose, and the determinant and inverse by cofactors.
#include "math/matrix.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace libgr {

namespace {

// Element in row r, column c.
float at(const grMatrix4& M, int r, int c) { return M.m[4 * c + r]; }

// The 3x3 left after deleting column `col` and row `row`, column-major.
void minor3(const grMatrix4& M, int col, int row, float N[9]) {
  int k = 0;
  for (int c = 0; c < 4; ++c) {
    if (c == col) continue;
    for (int r = 0; r < 4; ++r) {
      if (r == row) continue;
      N[k++] = at(M, r, c);
    }
  }
}

// a d - c b of four entries given in storage order (a, b, c, d).
float det2(float a, float b, float c, float d) { return a * d - c * b; }

// Expanded along the third column.
float det3(const float N[9]) {
  return N[6] * det2(N[1], N[2], N[4], N[5]) - N[7] * det2(N[0], N[2], N[3], N[5]) +
         N[8] * det2(N[0], N[1], N[3], N[4]);
}

float cofactor(const grMatrix4& M, int col, int row) {
  float N[9];
  minor3(M, col, row, N);
  const float sign = ((row + col) % 2 == 0) ? 1.0f : -1.0f;
  return sign * det3(N);
}

}  // namespace

grMatrix4 matrixFromRotation(const grRotation& rot) {
  const float theta = static_cast<float>(rot.angle * kDegreesToRadians);
  const double c = std::cos(static_cast<double>(theta));
  const double s = std::sin(static_cast<double>(theta));
  const grVec3 k = normalized(rot.axis);
  const double kv[3] = {k.x, k.y, k.z};
  // Cross-product matrix K of k, row by row.
  const double K[3][3] = {{0, -kv[2], kv[1]}, {kv[2], 0, -kv[0]}, {-kv[1], kv[0], 0}};

  grMatrix4 M = grIdentityMatrix;  // translation 0, index 15 one
  for (int r = 0; r < 3; ++r) {
    for (int col = 0; col < 3; ++col) {
      const double outer = kv[r] * kv[col];
      const double identity = (r == col) ? 1.0 : 0.0;
      M.m[4 * col + r] = static_cast<float>(outer + c * (identity - outer) + s * K[r][col]);
    }
  }
  return M;
}

grMatrix4 matrixFromQuaternion(const grQuaternion& q) {
  const float w = q.w, x = q.x, y = q.y, z = q.z;
  grMatrix4 M = grIdentityMatrix;  // translation 0, index 15 one
  M.m[0] = w * w + x * x - y * y - z * z;
  M.m[5] = w * w - x * x + y * y - z * z;
  M.m[10] = w * w - x * x - y * y + z * z;
  M.m[1] = 2 * (x * y + w * z);
  M.m[4] = 2 * (x * y - w * z);
  M.m[2] = 2 * (x * z - w * y);
  M.m[8] = 2 * (x * z + w * y);
  M.m[6] = 2 * (y * z + w * x);
  M.m[9] = 2 * (y * z - w * x);
  return M;
}

grVec3 halfTurnAxis(const grMatrix4& M) {
  // k_i k_j = (R_ij + delta_ij) / 2: take the largest diagonal term for the
  // square root, the others follow from the off-diagonal sums.
  int i = 0;
  if (at(M, 1, 1) > at(M, i, i)) i = 1;
  if (at(M, 2, 2) > at(M, i, i)) i = 2;
  const double ki = std::sqrt(std::max(0.0, (static_cast<double>(at(M, i, i)) + 1.0) * 0.5));
  if (ki == 0.0) return grZeroVec3;
  double k[3];
  for (int j = 0; j < 3; ++j) {
    k[j] = (j == i) ? ki : (static_cast<double>(at(M, i, j)) + at(M, j, i)) / (4.0 * ki);
  }
  return normalized(
      grVec3(static_cast<float>(k[0]), static_cast<float>(k[1]), static_cast<float>(k[2])));
}

grRotation rotationFromMatrix(const grMatrix4& M) {
  const double c = (static_cast<double>(M.m[0]) + M.m[5] + M.m[10] - 1.0) * 0.5;
  // Clamped: a half turn's trace can round just below -1, which would give
  // NaN and fall back to the identity instead of 180 degrees.
  const double cl = std::clamp(c, -1.0, 1.0);
  const float angle = static_cast<float>(std::acos(cl) * kRadiansToDegrees);
  if (!(std::fabs(angle) <= FLT_MAX)) return grIdentityRotation;  // NaN from a NaN trace
  grVec3 axis = normalized(grVec3(M.m[6] - M.m[9], M.m[8] - M.m[2], M.m[1] - M.m[4]));
  // An exact half turn is symmetric and its antisymmetric part says nothing.
  if (axis == grZeroVec3 && angle != 0.0f) axis = halfTurnAxis(M);
  return grRotation(angle, axis);
}

grVec3 transformPoint(const grVec3& p, const grMatrix4& M) {
  const float* m = M.m;
  return grVec3(m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12],
                m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
                m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]);
}

grMatrix4 transpose(const grMatrix4& M) {
  grMatrix4 out;
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) out.m[4 * c + r] = M.m[4 * r + c];
  return out;
}

float determinant(const grMatrix4& M) {
  // Expanded along the fourth column.
  float sum = 0.0f;
  for (int r = 0; r < 4; ++r) sum += M.m[12 + r] * cofactor(M, 3, r);
  return sum;
}

grMatrix4 inverse(const grMatrix4& M) {
  const float s = 1.0f / determinant(M);  // no guard: singular gives inf/NaN
  grMatrix4 out;
  for (int b = 0; b < 4; ++b)
    for (int i = 0; i < 4; ++i) out.m[4 * b + i] = cofactor(M, i, b) * s;
  return out;
}

}  // namespace libgr
