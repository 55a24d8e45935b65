// Vector value operations: normalisation, exact comparisons, products,
// homogeneous conversion, grid snapping, extremes and rectangles.
#include "math/vector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace libgr;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

void expectNear(const grVec3& expected, const grVec3& actual, float tolerance) {
  EXPECT_NEAR(expected.x, actual.x, tolerance);
  EXPECT_NEAR(expected.y, actual.y, tolerance);
  EXPECT_NEAR(expected.z, actual.z, tolerance);
}

}  // namespace

TEST(Vector, ConstructionAndInPlaceChaining) {
  EXPECT_EQ(grVec3(2, 2, 2), grVec3(2.0f));
  grVec3 v(1, 2, 3);
  (v -= grVec3(1, 1, 1)) *= 2.0f;  // both return the vector itself
  EXPECT_EQ(grVec3(0, 2, 4), v);
  v = 7.0f;
  EXPECT_EQ(grVec3(7, 7, 7), v);
  v += grVec3(1, 0, -1);
  EXPECT_EQ(grVec3(8, 7, 6), v);
  EXPECT_EQ(grVec3(0, 0, 0), grZeroVec3);
  EXPECT_EQ(grVec3(0, 0, 0), grVec3());
}

TEST(Vector, ExactComparisons) {
  EXPECT_TRUE(grVec3(0, 0, 0) == 0.0f);
  EXPECT_FALSE(grVec3(0, 0, 1e-30f) == 0.0f);  // no tolerance
  EXPECT_FALSE(grVec3(0, 0, 1e-30f) == grZeroVec3);
  EXPECT_TRUE(grVec3(-0.0f, 0, 0) == grZeroVec3);
  const grVec3 withNaN(kNaN, 0, 0);
  EXPECT_FALSE(withNaN == withNaN);
  EXPECT_TRUE(withNaN != withNaN);
  EXPECT_FALSE(grVec3(kNaN) == kNaN);
}

TEST(Vector, ArithmeticAndProducts) {
  const grVec3 a(1, 2, 3), b(-4, 5, 0.5f);
  EXPECT_EQ(grVec3(-3, 7, 3.5f), a + b);
  EXPECT_EQ(grVec3(5, -3, 2.5f), a - b);
  EXPECT_EQ(grVec3(-2, -4, -6), a * -2.0f);
  EXPECT_EQ(grVec3(-1, -2, -3), -a);
  EXPECT_FLOAT_EQ(1 * -4 + 2 * 5 + 3 * 0.5f, dot(a, b));
  // Right-handed basis: x cross y is z, and the cross product is
  // perpendicular to both inputs.
  EXPECT_EQ(grVec3(0, 0, 1), cross(grVec3(1, 0, 0), grVec3(0, 1, 0)));
  EXPECT_EQ(grVec3(1, 0, 0), cross(grVec3(0, 1, 0), grVec3(0, 0, 1)));
  const grVec3 c = cross(a, b);
  EXPECT_NEAR(0.0f, dot(c, a), 1e-5f);
  EXPECT_NEAR(0.0f, dot(c, b), 1e-5f);
  EXPECT_EQ(-c, cross(b, a));
  // The triple product is the signed volume of the unit cube's edges.
  EXPECT_FLOAT_EQ(1.0f, tripleProduct(grVec3(1, 0, 0), grVec3(0, 1, 0), grVec3(0, 0, 1)));
  EXPECT_FLOAT_EQ(-1.0f, tripleProduct(grVec3(0, 1, 0), grVec3(1, 0, 0), grVec3(0, 0, 1)));
}

TEST(Vector, Normalisation) {
  EXPECT_EQ(grZeroVec3, normalized(grVec3(0, 0, 0)));
  EXPECT_EQ(grVec3(0, 0, 1), normalized(grVec3(0, 0, 5)));
  EXPECT_EQ(grZeroVec3, normalized(grVec3(-0.0f, 0, 0)));
  const grVec3 n = normalized(grVec3(3, -4, 12));  // length 13
  expectNear(grVec3(3.f / 13, -4.f / 13, 12.f / 13), n, 1e-7f);
  EXPECT_NEAR(1.0f, length(n), 1e-6f);
  EXPECT_TRUE(std::isnan(normalized(grVec3(kNaN, 1, 1)).y));  // no guard beyond zero
  // Tiny but non-zero lengths are still normalised.
  EXPECT_NEAR(1.0f, length(normalized(grVec3(1e-19f, 0, 0))), 1e-6f);
}

TEST(Vector, TriangleNormalsAndPlaneSide) {
  // Counter-clockwise in the x/y plane seen from +z: the normal points to +z.
  const grVec3 a(0, 0, 0), b(2, 0, 0), c(2, 3, 0);
  EXPECT_EQ(grVec3(0, 0, 6), triangleNormal(a, b, c));  // (b-a) x (c-b), not unit
  EXPECT_EQ(grVec3(0, 0, 1), unitTriangleNormal(a, b, c));
  EXPECT_EQ(grVec3(0, 0, -1), unitTriangleNormal(c, b, a));
  EXPECT_EQ(grZeroVec3, unitTriangleNormal(a, a, c));  // degenerate, not NaN
  EXPECT_GT(planeSide(a, b, c, grVec3(5, 5, 1)), 0.0f);
  EXPECT_LT(planeSide(a, b, c, grVec3(5, 5, -1)), 0.0f);
  EXPECT_EQ(0.0f, planeSide(a, b, c, grVec3(-7, 4, 0)));
  EXPECT_FLOAT_EQ(2 * 3 * 4.0f, planeSide(a, b, c, grVec3(1, 1, 4)));
}

TEST(Vector, HomogeneousAndDirections) {
  expectNear(grVec3(1, -2, 0.5f), fromHomogeneous(grVec4(2, -4, 1, 2)), 1e-7f);
  const grVec3 atInfinity = fromHomogeneous(grVec4(1, 0, -1, 0));
  EXPECT_EQ(kInf, atInfinity.x);
  EXPECT_TRUE(std::isnan(atInfinity.y));  // 0 * inf
  EXPECT_EQ(-kInf, atInfinity.z);

  EXPECT_EQ(grVec3(0, -1, 0), directionOf(grVec3(0, 3, 0), -1.0f));
  EXPECT_EQ(grVec3(0, 1, 0), directionOf(grVec3(0, 3, 0), 0.0f));
  EXPECT_EQ(grVec3(0, 1, 0), directionOf(grVec3(0, 3, 0), kNaN));
  const grVec4 d = directionAsVec4(grVec3(0, 0, -2), -1.0f);
  EXPECT_EQ(0.0f, d.x);
  EXPECT_EQ(1.0f, d.z);
  EXPECT_EQ(0.0f, d.w);
}

TEST(Vector, Snapping) {
  EXPECT_EQ(grVec3(20, -20, 0), snapTowardZero(grVec3(27, -27, 3), 10.0f));
  EXPECT_EQ(grVec3(30, 20, -20), snapUp(grVec3(27, 20, -27), 10.0f));
  EXPECT_EQ(30.0f, snapUp(25.0f, 10.0f));
  EXPECT_EQ(20.0f, snapUp(20.0f, 10.0f));
  EXPECT_EQ(-20.0f, snapUp(-27.0f, 10.0f));
  // One step per component.
  EXPECT_EQ(grVec3(20, -4, 0.5f), snapTowardZero(grVec3(27, -5, 0.7f), grVec3(10, 2, 0.5f)));
  EXPECT_EQ(grVec3(30, -4, 1.0f), snapUp(grVec3(27, -5, 0.7f), grVec3(10, 2, 0.5f)));
  // An infinite input stays infinite; a zero step gives non-finite values.
  EXPECT_EQ(kInf, snapTowardZero(grVec3(kInf, 0, 0), 10.0f).x);
  EXPECT_FALSE(std::isfinite(snapTowardZero(grVec3(1, 1, 1), 0.0f).x));
}

TEST(Vector, ExtremesAndRectangles) {
  EXPECT_EQ(-1.0f, componentMin(grVec2(-1, 5), grVec2(2, 3)).x);
  EXPECT_EQ(3.0f, componentMin(grVec2(-1, 5), grVec2(2, 3)).y);
  EXPECT_EQ(2.0f, componentMax(grVec2(-1, 5), grVec2(2, 3)).x);
  EXPECT_EQ(5.0f, componentMax(grVec2(-1, 5), grVec2(2, 3)).y);
  // Ties give the second argument: visible with signed zeros.
  EXPECT_TRUE(std::signbit(componentMin(grVec2(0.0f, 0), grVec2(-0.0f, 0)).x));
  EXPECT_TRUE(std::signbit(componentMax(grVec2(0.0f, 0), grVec2(-0.0f, 0)).x));
  // NaN on either side gives the second argument.
  EXPECT_EQ(4.0f, componentMin(grVec2(kNaN, 0), grVec2(4, 0)).x);
  EXPECT_TRUE(std::isnan(componentMax(grVec2(4, 0), grVec2(kNaN, 0)).x));

  for (const auto& [p, q] : {std::pair{grVec2(256, -256), grVec2(-256, 256)},
                             std::pair{grVec2(-256, 256), grVec2(256, -256)}}) {
    const grRect r(p, q);
    EXPECT_EQ(-256.0f, r.minX);
    EXPECT_EQ(-256.0f, r.minY);
    EXPECT_EQ(256.0f, r.maxX);
    EXPECT_EQ(256.0f, r.maxY);
  }
}

TEST(Vector, Vec4IsContiguousForOpenGL) {
  grVec4 colour(0.1f, 0.2f, 0.3f, 0.4f);
  const float* p = colour.data();
  EXPECT_EQ(0.3f, p[2]);
  colour[3] = 1.0f;
  EXPECT_EQ(1.0f, colour.w);
  const grVec4 light(0, 1, 0);  // a direction: w = 0
  EXPECT_EQ(0.0f, light[3]);
  EXPECT_EQ(1.0f, light[1]);
}
