// Frame operations (moving, turning, nesting frames) and the perspective
// bounds of grFrustumParams.
#include "math/frame.h"

#include <algorithm>
#include <cmath>

namespace libgr {

namespace {

grVec3 rotated(const grVec3& v, const grRotation& r) {
  return transformPoint(v, matrixFromRotation(r));
}

}  // namespace

void grFrame::moveBack(const grVec3& v) { position -= v; }

void grFrame::moveAlong(const grVec3& v) { position += rotated(v, rotation); }

void grFrame::rotate(const grRotation& r) {
  rotation = compose(r, rotation);
  localRotation = compose(localRotation, r);
}

void grFrame::rotateOtherOrder(const grRotation& r) {
  rotation = compose(rotation, r);
  localRotation = compose(r, localRotation);
}

void grFrame::rotateBack(const grRotation& r) { rotate(libgr::inverse(r)); }

void grFrame::applyParent(const grFrame& G) {
  position = rotated(position, G.rotation) + G.position;
  rotation = compose(G.rotation, rotation);
  localRotation = compose(localRotation, G.localRotation);
}

void grFrame::makeRelative(const grFrame& G) {
  // Computed into a copy first, so G may be this very frame.
  const grFrame parentInverse = inverse(G);
  applyParent(parentInverse);
}

grFrame inverse(const grFrame& F) {
  grFrame out;
  out.rotation = inverse(F.rotation);
  out.localRotation = inverse(F.localRotation);
  out.position = rotated(-F.position, out.rotation);
  return out;
}

grFrame appliedCopy(const grFrame& F, const grFrame& G) {
  grFrame out = F;
  out.applyParent(G);
  return out;
}

grFrame appliedCopyLocalOrder(const grFrame& G, const grFrame& F) {
  grFrame out;
  out.rotation = compose(F.rotation, G.rotation);
  out.localRotation = compose(G.localRotation, F.localRotation);
  out.position = rotated(F.position, G.localRotation) + G.position;
  return out;
}

grFrame relativeCopy(const grFrame& F, const grFrame& G) {
  grFrame out = F;
  out.makeRelative(G);
  return out;
}

grFrame frameFromMatrix(const grMatrix4& M) {
  // Arc-cosine arguments clamped: a trace rounded past the valid range would
  // otherwise make the whole frame NaN.
  const double c =
      std::clamp((static_cast<double>(M.m[0]) + M.m[5] + M.m[10] - 1.0) * 0.5, -1.0, 1.0);
  const double w = std::cos(std::acos(c) * 0.5);
  const float scale = static_cast<float>(0.5 / w);
  const grVec3 v = grVec3(M.m[6] - M.m[9], M.m[8] - M.m[2], M.m[1] - M.m[4]) * scale;
  const float angle =
      static_cast<float>(2.0 * std::acos(std::clamp(w, -1.0, 1.0)) * kRadiansToDegrees);
  grVec3 axis = normalized(v);
  if (axis == grZeroVec3) {
    // An exact half turn has no antisymmetric part; its axis is in the
    // symmetric part. Only an angle of 0 falls back to (0, 0, 1).
    axis = angle != 0.0f ? halfTurnAxis(M) : grVec3(0.0f, 0.0f, 1.0f);
    if (axis == grZeroVec3) axis = grVec3(0.0f, 0.0f, 1.0f);
  }
  return grFrame(grRotation(angle, axis), grVec3(M.m[12], M.m[13], M.m[14]));
}

void grFrustumParams::setAngleFromFocalLength(double f) {
  // Half the diagonal of a 36 x 24 frame, in the focal length's unit.
  angle = 2.0 * std::atan2(21.633307652783937, f);
}

grFrustumBounds grFrustumParams::bounds() const {
  const double h = std::tan(angle * 0.5) * far / std::sqrt(aspect * aspect + 1.0);
  const double k = near / far;
  const double right = h * aspect * k;
  const double top = h * k;
  return grFrustumBounds{-right, right, -top, top, near, far};
}

}  // namespace libgr
