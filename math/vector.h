#pragma once
// Small vector value types: grVec3 (positions, offsets, directions, axes),
// grVec2 and grRect (points and rectangles in a plane), grVec4 (colours and
// homogeneous positions, laid out for the OpenGL *4fv entry points).
// Single-precision storage; no epsilon anywhere: only an exact zero length is
// treated specially (by normalisation).

namespace libgr {

struct grVec3 {
  float x = 0.0f, y = 0.0f, z = 0.0f;

  constexpr grVec3() = default;
  constexpr grVec3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
  // Explicit so that a stray float never turns into a vector silently.
  constexpr explicit grVec3(float s) : x(s), y(s), z(s) {}

  grVec3& operator=(float s) {
    x = y = z = s;
    return *this;
  }
  grVec3& operator+=(const grVec3& w) {
    x += w.x, y += w.y, z += w.z;
    return *this;
  }
  grVec3& operator-=(const grVec3& w) {
    x -= w.x, y -= w.y, z -= w.z;
    return *this;
  }
  grVec3& operator*=(float s) {
    x *= s, y *= s, z *= s;
    return *this;
  }
};
static_assert(sizeof(grVec3) == 3 * sizeof(float), "grVec3 must be three contiguous floats");

// The library-wide zero vector; normalisation returns it for a zero length.
inline constexpr grVec3 grZeroVec3{0.0f, 0.0f, 0.0f};

struct grVec2 {
  float x = 0.0f, y = 0.0f;

  constexpr grVec2() = default;
  constexpr grVec2(float x_, float y_) : x(x_), y(y_) {}
};

// Component-wise extremes. Ties and NaNs yield the second argument.
grVec2 componentMin(const grVec2& p, const grVec2& q);
grVec2 componentMax(const grVec2& p, const grVec2& q);

struct grRect {
  float minX = 0.0f, minY = 0.0f, maxX = 0.0f, maxY = 0.0f;

  constexpr grRect() = default;
  constexpr grRect(float minX_, float minY_, float maxX_, float maxY_)
      : minX(minX_), minY(minY_), maxX(maxX_), maxY(maxY_) {}
  // From any two opposite corners, in either order.
  grRect(const grVec2& p, const grVec2& q);
};

struct grVec4 {
  float x = 0.0f, y = 0.0f, z = 0.0f, w = 0.0f;

  constexpr grVec4() = default;
  constexpr grVec4(float a, float b, float c, float d) : x(a), y(b), z(c), w(d) {}
  // w = 0: as a light position OpenGL treats this as a direction.
  constexpr grVec4(float x_, float y_, float z_) : x(x_), y(y_), z(z_), w(0.0f) {}

  const float* data() const { return &x; }
  float* data() { return &x; }
  const float& operator[](int i) const { return data()[i]; }
  float& operator[](int i) { return data()[i]; }
};
static_assert(sizeof(grVec4) == 16, "grVec4 is handed to OpenGL as four contiguous floats");

// Arithmetic. Inline: the per-frame loops (drop motion) call them for
// every drop, and an out-of-line call costs more than the arithmetic.
inline grVec3 operator+(const grVec3& a, const grVec3& b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline grVec3 operator-(const grVec3& a, const grVec3& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline grVec3 operator*(const grVec3& v, float s) { return {v.x * s, v.y * s, v.z * s}; }
inline grVec3 operator-(const grVec3& v) { return {-v.x, -v.y, -v.z}; }

// Exact comparisons (no tolerance; a NaN component never compares equal).
inline bool operator==(const grVec3& a, const grVec3& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z;
}
inline bool operator!=(const grVec3& a, const grVec3& b) { return !(a == b); }
// Every component equals s.
inline bool operator==(const grVec3& v, float s) { return v.x == s && v.y == s && v.z == s; }

float dot(const grVec3& a, const grVec3& b);
grVec3 cross(const grVec3& a, const grVec3& b);
float length(const grVec3& v);
// Unit vector along v; exactly (0, 0, 0) for a zero-length v; NaN stays NaN.
grVec3 normalized(const grVec3& v);

// (b - a) x (c - b), not normalised.
grVec3 triangleNormal(const grVec3& a, const grVec3& b, const grVec3& c);
// normalised(normalised(b - a) x normalised(c - b)).
grVec3 unitTriangleNormal(const grVec3& a, const grVec3& b, const grVec3& c);
// (a x b) . c
float tripleProduct(const grVec3& a, const grVec3& b, const grVec3& c);
// (d - a) . ((b - a) x (c - a)): its sign tells the side of d against plane abc.
float planeSide(const grVec3& a, const grVec3& b, const grVec3& c, const grVec3& d);

// (x, y, z) / w by multiplying with 1 / w; w = 0 gives infinities or NaNs.
grVec3 fromHomogeneous(const grVec4& p);
// normalised(v), reversed when w < 0 (w = 0 or NaN keeps v's direction).
grVec3 directionOf(const grVec3& v, float w);
// The same direction with a fourth component 0.
grVec4 directionAsVec4(const grVec3& v, float w);

// Grid snapping: toward zero truncates each component to a multiple of the
// step; up gives the grid value at or above the input (for positive steps).
grVec3 snapTowardZero(const grVec3& v, float step);
grVec3 snapTowardZero(const grVec3& v, const grVec3& steps);
grVec3 snapUp(const grVec3& v, float step);
grVec3 snapUp(const grVec3& v, const grVec3& steps);
float snapUp(float a, float step);

}  // namespace libgr
