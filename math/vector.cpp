// Vector arithmetic, normalisation, triangle and plane helpers, homogeneous
// conversion and grid snapping for grVec3; extremes and rectangles of grVec2.
#include "math/vector.h"

#include <cmath>

namespace libgr {

grVec2 componentMin(const grVec2& p, const grVec2& q) {
  // Written as comparisons (not std::min) so ties and NaNs pick q.
  return grVec2(q.x > p.x ? p.x : q.x, q.y > p.y ? p.y : q.y);
}

grVec2 componentMax(const grVec2& p, const grVec2& q) {
  return grVec2(p.x > q.x ? p.x : q.x, p.y > q.y ? p.y : q.y);
}

grRect::grRect(const grVec2& p, const grVec2& q) {
  const grVec2 low = componentMin(p, q), high = componentMax(p, q);
  minX = low.x, minY = low.y, maxX = high.x, maxY = high.y;
}

float dot(const grVec3& a, const grVec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

grVec3 cross(const grVec3& a, const grVec3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float length(const grVec3& v) { return std::sqrt(dot(v, v)); }

grVec3 normalized(const grVec3& v) {
  const float len = length(v);
  if (len == 0.0f) return grZeroVec3;  // also catches -0.0; NaN falls through
  const float r = 1.0f / len;
  return v * r;
}

grVec3 triangleNormal(const grVec3& a, const grVec3& b, const grVec3& c) {
  return cross(b - a, c - b);
}

grVec3 unitTriangleNormal(const grVec3& a, const grVec3& b, const grVec3& c) {
  return normalized(cross(normalized(b - a), normalized(c - b)));
}

float tripleProduct(const grVec3& a, const grVec3& b, const grVec3& c) {
  return dot(cross(a, b), c);
}

float planeSide(const grVec3& a, const grVec3& b, const grVec3& c, const grVec3& d) {
  return dot(d - a, cross(b - a, c - a));
}

grVec3 fromHomogeneous(const grVec4& p) {
  const float r = 1.0f / p.w;
  return {p.x * r, p.y * r, p.z * r};
}

grVec3 directionOf(const grVec3& v, float w) {
  const grVec3 unit = normalized(v);
  return w < 0.0f ? -unit : unit;
}

grVec4 directionAsVec4(const grVec3& v, float w) {
  const grVec3 d = directionOf(v, w);
  return grVec4(d.x, d.y, d.z, 0.0f);
}

namespace {

// Truncates value / step toward zero and scales back; the reciprocal is
// formed once per step. An infinite quotient stays infinite.
float truncateToStep(float value, float reciprocal, float step) {
  return std::trunc(value * reciprocal) * step;
}

float raiseIfBelow(float value, float snapped, float step) {
  return value > snapped ? snapped + step : snapped;
}

}  // namespace

grVec3 snapTowardZero(const grVec3& v, float step) {
  const float r = 1.0f / step;
  return {truncateToStep(v.x, r, step), truncateToStep(v.y, r, step), truncateToStep(v.z, r, step)};
}

grVec3 snapTowardZero(const grVec3& v, const grVec3& steps) {
  return {truncateToStep(v.x, 1.0f / steps.x, steps.x),
          truncateToStep(v.y, 1.0f / steps.y, steps.y),
          truncateToStep(v.z, 1.0f / steps.z, steps.z)};
}

grVec3 snapUp(const grVec3& v, float step) {
  const grVec3 t = snapTowardZero(v, step);
  return {raiseIfBelow(v.x, t.x, step), raiseIfBelow(v.y, t.y, step), raiseIfBelow(v.z, t.z, step)};
}

grVec3 snapUp(const grVec3& v, const grVec3& steps) {
  const grVec3 t = snapTowardZero(v, steps);
  return {raiseIfBelow(v.x, t.x, steps.x), raiseIfBelow(v.y, t.y, steps.y),
          raiseIfBelow(v.z, t.z, steps.z)};
}

float snapUp(float a, float step) {
  const float e = std::trunc(a / step) * step;
  return raiseIfBelow(a, e, step);
}

}  // namespace libgr
