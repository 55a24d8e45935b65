// Angle-axis rotations and the quaternions through which they are composed.
#include "math/rotation.h"

#include <algorithm>
#include <cmath>

namespace libgr {

namespace {

// Rounding can carry a composed quaternion's w (or a matrix trace) just past
// +-1; an unclamped acos would turn the whole orientation into NaN. NaN input
// stays NaN (std::clamp passes it through).
double clampedAcos(double c) { return std::acos(std::clamp(c, -1.0, 1.0)); }

}  // namespace

grRotation inverse(const grRotation& r) { return grRotation(-r.angle, r.axis); }

bool isNonIdentity(const grRotation& r) {
  if (r.angle == 0.0f) return false;  // NaN angles count as non-zero
  return !(r.axis == grZeroVec3);
}

grQuaternion toQuaternion(const grRotation& r) {
  const float h = static_cast<float>((r.angle * 0.5) * kDegreesToRadians);
  const float s = static_cast<float>(std::sin(static_cast<double>(h)));
  const float w = static_cast<float>(std::cos(static_cast<double>(h)));
  return grQuaternion(w, s * r.axis.x, s * r.axis.y, s * r.axis.z);
}

grRotation toRotation(const grQuaternion& q) {
  const float angle = static_cast<float>(2.0 * clampedAcos(q.w) * kRadiansToDegrees);
  grVec3 axis = normalized(grVec3(q.x, q.y, q.z));
  if (axis == grZeroVec3) axis = grVec3(0.0f, 0.0f, 1.0f);
  return grRotation(angle, axis);
}

grRotation compose(const grRotation& a, const grRotation& b) {
  return toRotation(toQuaternion(a) * toQuaternion(b));
}

grQuaternion operator*(const grQuaternion& a, const grQuaternion& b) {
  return grQuaternion(
      a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z, a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
      a.w * b.y + a.y * b.w + a.z * b.x - a.x * b.z, a.w * b.z + a.z * b.w + a.x * b.y - a.y * b.x);
}

grVec3 leftProduct(const grQuaternion& q, const grVec3& v) {
  const grQuaternion p = q * grQuaternion(0.0f, v.x, v.y, v.z);
  return grVec3(p.x, p.y, p.z);
}

grVec3 rightProduct(const grVec3& v, const grQuaternion& q) {
  const grQuaternion p = grQuaternion(0.0f, v.x, v.y, v.z) * q;
  return grVec3(p.x, p.y, p.z);
}

grRotation rotationBetween(const grVec3& a, const grVec3& b) {
  const grVec3 c = cross(a, b);
  const float len = length(c);
  const float d = dot(a, b);
  if (len == 0.0f) {
    // Parallel (or zero) inputs need no turn. Opposite inputs need a half
    // turn, about any axis at right angles to a; the identity would be wrong.
    if (!(d < 0.0f)) return grIdentityRotation;
    const grVec3 helper = std::fabs(a.x) <= std::fabs(a.y) && std::fabs(a.x) <= std::fabs(a.z)
                              ? grVec3(1.0f, 0.0f, 0.0f)
                              : (std::fabs(a.y) <= std::fabs(a.z) ? grVec3(0.0f, 1.0f, 0.0f)
                                                                  : grVec3(0.0f, 0.0f, 1.0f));
    return grRotation(180.0f, normalized(cross(a, helper)));
  }
  // The angle between the vectors: atan2 of sine and cosine (both scaled by
  // |a| |b|), accurate at every angle and independent of the input lengths.
  const float angle = static_cast<float>(std::atan2(len, d) * kRadiansToDegrees);
  return grRotation(angle, c * (1.0f / len));
}

}  // namespace libgr
