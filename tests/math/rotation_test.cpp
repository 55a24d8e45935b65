// Rotations: composition, inversion, the identity test, quaternion
// conversions and products, and the rotation between two vectors. GLM's
// quaternions serve as an independent reference.
#include "math/rotation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <glm/gtc/quaternion.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <limits>
#include <random>

#include "math/matrix.h"
#include "tests/math/math_expect.h"

using namespace libgr;
using mathtest::expectFinite;
using mathtest::expectSameRotation;
using mathtest::expectVecNear;
using mathtest::fromGlm;
using mathtest::randomRotation;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
const grVec3 kX(1, 0, 0), kY(0, 1, 0), kZ(0, 0, 1);

glm::quat glmQuat(const grRotation& r) {
  return glm::angleAxis(glm::radians(r.angle),
                        glm::normalize(glm::vec3(r.axis.x, r.axis.y, r.axis.z)));
}

}  // namespace

TEST(Rotation, ConstructionOrderAndIdentityConstant) {
  const grRotation r(30.0f, 1.0f, 2.0f, 3.0f);  // glRotatef order: angle first
  EXPECT_EQ(30.0f, r.angle);
  EXPECT_EQ(grVec3(1, 2, 3), r.axis);
  EXPECT_EQ(r.axis, grRotation(30.0f, grVec3(1, 2, 3)).axis);
  EXPECT_EQ(0.0f, grIdentityRotation.angle);
  EXPECT_EQ(kZ, grIdentityRotation.axis);
  EXPECT_EQ(kZ, grRotation().axis);
  const float* raw = &r.angle;  // four contiguous floats
  EXPECT_EQ(3.0f, raw[3]);
}

TEST(Rotation, NonIdentityTest) {
  EXPECT_FALSE(isNonIdentity(grRotation(0, kX)));
  EXPECT_FALSE(isNonIdentity(grRotation(45, grZeroVec3)));
  EXPECT_FALSE(isNonIdentity(grRotation(-0.0f, kX)));
  EXPECT_TRUE(isNonIdentity(grRotation(45, kZ)));
  EXPECT_TRUE(isNonIdentity(grRotation(kNaN, kZ)));
}

TEST(Rotation, InverseNegatesTheAngle) {
  const grRotation r = inverse(grRotation(30, kY));
  EXPECT_EQ(-30.0f, r.angle);
  EXPECT_EQ(kY, r.axis);
}

TEST(Rotation, CompositionEdgeCases) {
  const grRotation idid = compose(grIdentityRotation, grIdentityRotation);
  EXPECT_EQ(0.0f, idid.angle);
  EXPECT_EQ(kZ, idid.axis);  // not a zero axis

  const grRotation half = compose(grRotation(90, kZ), grRotation(90, kZ));
  EXPECT_NEAR(180.0f, half.angle, 1e-4f);
  expectVecNear(kZ, half.axis, 1e-6f);

  // Negative angles come back as positive angles about the reversed axis.
  const grRotation neg = compose(grRotation(-10, kZ), grIdentityRotation);
  EXPECT_NEAR(10.0f, neg.angle, 1e-4f);
  expectVecNear(grVec3(0, 0, -1), neg.axis, 1e-6f);

  // With its inverse the vector part cancels exactly: axis falls back to z.
  const grRotation none = compose(grRotation(37, normalized(grVec3(1, 2, 3))),
                                  inverse(grRotation(37, normalized(grVec3(1, 2, 3)))));
  EXPECT_EQ(kZ, none.axis);
  EXPECT_NEAR(0.0f, none.angle, 0.05f);  // acos near 1 magnifies rounding
}

TEST(Rotation, CompositionAppliesSecondArgumentFirst) {
  const grRotation aboutX(90, kX), aboutY(90, kY);
  const grRotation yThenX = compose(aboutX, aboutY);
  const grRotation xThenY = compose(aboutY, aboutX);
  EXPECT_GT(std::fabs(matrixFromRotation(yThenX).m[2] - matrixFromRotation(xThenY).m[2]), 0.5f);

  // Turning z: first 90 about y takes z to x, then 90 about x leaves it.
  expectVecNear(kX, transformPoint(kZ, matrixFromRotation(yThenX)), 1e-6f);
  // First 90 about x takes z to -y, then 90 about y leaves it.
  expectVecNear(grVec3(0, -1, 0), transformPoint(kZ, matrixFromRotation(xThenY)), 1e-6f);
}

TEST(Rotation, CompositionMatchesGlmAndIsAssociative) {
  std::mt19937 rng(1234);
  for (int i = 0; i < 200; ++i) {
    const grRotation a = randomRotation(rng, true), b = randomRotation(rng, true),
                     c = randomRotation(rng, true);
    const grRotation ab = compose(a, b);
    expectFinite(ab);
    EXPECT_GE(ab.angle, 0.0f);
    EXPECT_LE(ab.angle, 360.0f);
    EXPECT_NEAR(1.0f, length(ab.axis), 1e-5f);
    // Reference: GLM's quaternion product turned into a matrix. Tolerance:
    // a few float ulps per step through angle/axis and back.
    mathtest::expectMatrixNear(fromGlm(glm::mat4_cast(glmQuat(a) * glmQuat(b))),
                               matrixFromRotation(ab), 2e-4f);
    expectSameRotation(compose(compose(a, b), c), compose(a, compose(b, c)), 2e-4f);
  }
}

namespace {

bool isFinite(const grRotation& r) {
  return std::isfinite(r.angle) && std::isfinite(r.axis.x) && std::isfinite(r.axis.y) &&
         std::isfinite(r.axis.z);
}

}  // namespace

TEST(Rotation, ManySmallRollsStayFinite) {
  // The application's right-button roll: a quarter degree per pixel, here
  // dragged right and back left by growing distances, thousands of times.
  // A rotation composed with its own inverse rounds w to 1.00000012 for many
  // angles (5.18 degrees about z is one); an unclamped arc cosine would make
  // the orientation NaN there. It must stay finite and come back to rest.
  grRotation accumulated = grIdentityRotation;
  int firstNonFinite = 0;
  for (int pixels = 1; pixels <= 1500 && firstNonFinite == 0; ++pixels) {
    accumulated = compose(grRotation(-(pixels * 0.25f), kZ), accumulated);
    accumulated = compose(grRotation(pixels * 0.25f, kZ), accumulated);
    if (!isFinite(accumulated)) firstNonFinite = pixels;
  }
  EXPECT_EQ(0, firstNonFinite) << "orientation lost after a drag of that many pixels";
  // Back at rest within drift: the angle is read from w alone, and acos near
  // 1 turns one float ulp of w into about 0.02 degrees, so 3000 compositions
  // near the identity wander by up to a degree or so (entries within 0.03).
  expectSameRotation(grIdentityRotation, accumulated, 0.03f);

  // 3000 quarter-degree rolls one way: 750 degrees, the turn of 30 about -z.
  accumulated = grIdentityRotation;
  for (int step = 0; step < 3000; ++step)
    accumulated = compose(grRotation(-0.25f, kZ), accumulated);
  expectFinite(accumulated);
  expectSameRotation(grRotation(30, grVec3(0, 0, -1)), accumulated, 2e-3f);

  // Any rotation composed with its inverse, over a sweep of angles and axes:
  // finite, and an angle of 0 within the acos conditioning above.
  int nonFinite = 0;
  float largestAngle = 0.0f;
  for (int k = 0; k < 8; ++k) {
    const grVec3 axis = normalized(grVec3(std::sin(k * 1.3f), std::cos(k * 0.7f), 0.3f * k));
    for (float angle = 0.01f; angle < 720.0f; angle += 0.37f) {
      const grRotation r(angle, axis);
      const grRotation none = compose(r, inverse(r));
      if (!isFinite(none))
        ++nonFinite;
      else
        largestAngle = std::max(largestAngle, none.angle);
    }
  }
  EXPECT_EQ(0, nonFinite);
  // w a few ulps below 1: 2 acos(1 - 5 * 6e-8) is about 0.09 degrees.
  EXPECT_LT(largestAngle, 0.15f);
}

TEST(Rotation, ArcCosineArgumentIsClampedNotNaN) {
  // w rounded just past 1 or -1.
  const grRotation justPastOne = toRotation(grQuaternion(1.0000001f, 0, 0, 1e-9f));
  EXPECT_EQ(0.0f, justPastOne.angle);
  EXPECT_EQ(kZ, justPastOne.axis);
  const grRotation justPastMinusOne = toRotation(grQuaternion(-1.0000001f, 0, 0, 0));
  EXPECT_EQ(360.0f, justPastMinusOne.angle);
  EXPECT_EQ(kZ, justPastMinusOne.axis);
  // A NaN stays NaN: nothing hides genuinely broken input.
  EXPECT_TRUE(std::isnan(toRotation(grQuaternion(kNaN, 0, 0, 1)).angle));
}

TEST(Rotation, QuaternionConversions) {
  // 90 degrees about z: (cos 45, 0, 0, sin 45), as GLM builds it.
  const grQuaternion q = toQuaternion(grRotation(90, kZ));
  const glm::quat ref = glm::angleAxis(glm::radians(90.0f), glm::vec3(0, 0, 1));
  EXPECT_NEAR(ref.w, q.w, 1e-7f);
  EXPECT_NEAR(ref.x, q.x, 1e-7f);
  EXPECT_NEAR(ref.y, q.y, 1e-7f);
  EXPECT_NEAR(ref.z, q.z, 1e-7f);
  EXPECT_NEAR(std::sqrt(0.5f), q.w, 1e-7f);

  // The axis is used as stored: a longer axis gives a longer quaternion.
  EXPECT_NEAR(2 * q.z, toQuaternion(grRotation(90, grVec3(0, 0, 2))).z, 1e-6f);

  const grRotation back = toRotation(toQuaternion(grRotation(123, normalized(grVec3(1, -1, 2)))));
  EXPECT_NEAR(123.0f, back.angle, 1e-3f);
  expectVecNear(normalized(grVec3(1, -1, 2)), back.axis, 1e-6f);

  // Whole turn: angle 360, zero vector part, axis falls back to z.
  const grRotation whole = toRotation(grQuaternion(-1, 0, 0, 0));
  EXPECT_EQ(360.0f, whole.angle);
  EXPECT_EQ(kZ, whole.axis);
}

TEST(Rotation, HamiltonProductAndVectorHalves) {
  // i * j = k, j * i = -k (order matters).
  const grQuaternion i(0, 1, 0, 0), j(0, 0, 1, 0);
  const grQuaternion k = i * j, minusK = j * i;
  EXPECT_EQ(0.0f, k.w);
  EXPECT_EQ(1.0f, k.z);
  EXPECT_EQ(-1.0f, minusK.z);
  // Against GLM on arbitrary values (GLM stores w last, takes it first).
  const grQuaternion a(0.3f, -1.2f, 0.7f, 2.0f), b(-0.5f, 0.25f, 1.5f, -0.75f);
  const glm::quat ref = glm::quat(a.w, a.x, a.y, a.z) * glm::quat(b.w, b.x, b.y, b.z);
  const grQuaternion ab = a * b;
  EXPECT_NEAR(ref.w, ab.w, 1e-6f);
  EXPECT_NEAR(ref.x, ab.x, 1e-6f);
  EXPECT_NEAR(ref.y, ab.y, 1e-6f);
  EXPECT_NEAR(ref.z, ab.z, 1e-6f);

  // For v at right angles to the axis, q (0, v) turns v by half the angle
  // one way and (0, v) q by half the angle the other way.
  const grQuaternion quarter = toQuaternion(grRotation(90, kZ));
  const float h = std::sqrt(0.5f);
  expectVecNear(grVec3(h, h, 0), leftProduct(quarter, kX), 1e-6f);
  expectVecNear(grVec3(h, -h, 0), rightProduct(kX, quarter), 1e-6f);
  // Chained with the conjugate, the two halves make the full rotation.
  const grQuaternion conj(quarter.w, -quarter.x, -quarter.y, -quarter.z);
  const grQuaternion p = quarter * grQuaternion(0, 1, 0, 0);
  expectVecNear(kY, rightProduct(grVec3(p.x, p.y, p.z), conj), 1e-6f);
}

TEST(Rotation, RotationBetweenVectors) {
  const grRotation quarter = rotationBetween(kX, grVec3(0, 3, 0));
  EXPECT_NEAR(90.0f, quarter.angle, 1e-4f);
  expectVecNear(kZ, quarter.axis, 1e-6f);
  // The angle between the vectors, whatever their lengths (not asin/acos of |a x b|).
  EXPECT_NEAR(45.0f, rotationBetween(kX * 2.0f, grVec3(5, 5, 0)).angle, 1e-4f);
  EXPECT_NEAR(135.0f, rotationBetween(kX, grVec3(-1, 1, 0)).angle, 1e-4f);

  const grRotation parallel = rotationBetween(kX, grVec3(2, 0, 0));
  EXPECT_EQ(0.0f, parallel.angle);
  EXPECT_EQ(kZ, parallel.axis);
  EXPECT_EQ(0.0f, rotationBetween(grZeroVec3, kX).angle);

  // Opposite vectors need a half turn about some perpendicular axis.
  for (const grVec3& a : {kX, kY, kZ, grVec3(1, 2, 3)}) {
    const grRotation flip = rotationBetween(a, -a * 2.0f);
    EXPECT_EQ(180.0f, flip.angle);
    EXPECT_NEAR(0.0f, dot(flip.axis, a), 1e-6f);
    expectVecNear(-normalized(a), normalized(transformPoint(a, matrixFromRotation(flip))), 1e-6f);
  }

  std::mt19937 rng(99);
  std::uniform_real_distribution<float> coordinate(-3.0f, 3.0f);
  for (int n = 0; n < 100; ++n) {
    const grVec3 a(coordinate(rng), coordinate(rng), coordinate(rng));
    const grVec3 b(coordinate(rng), coordinate(rng), coordinate(rng));
    const grVec3 turned = transformPoint(normalized(a), matrixFromRotation(rotationBetween(a, b)));
    expectVecNear(normalized(b), turned, 1e-5f);
  }
}
