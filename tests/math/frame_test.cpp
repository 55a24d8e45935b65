// Frames (moving, turning, nesting, inverting, reading from a matrix) and
// the perspective bounds of grFrustumParams. Frames are checked through the
// placement matrices they stand for: a point p of frame F lies at
// F.position + M(F.rotation) p in the parent.
#include "math/frame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <glm/glm.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <random>

#include "tests/math/math_expect.h"

using namespace libgr;
using mathtest::expectMatrixNear;
using mathtest::expectSameRotation;
using mathtest::expectVecNear;

namespace {

const grVec3 kX(1, 0, 0), kY(0, 1, 0), kZ(0, 0, 1);

grMatrix4 placement(const grFrame& F) {
  grMatrix4 M = matrixFromRotation(F.rotation);
  M.m[12] = F.position.x, M.m[13] = F.position.y, M.m[14] = F.position.z;
  return M;
}

grMatrix4 product(const grMatrix4& A, const grMatrix4& B) {
  const glm::mat4 P = glm::make_mat4(A.m) * glm::make_mat4(B.m);
  grMatrix4 out;
  for (int i = 0; i < 16; ++i) out.m[i] = glm::value_ptr(P)[i];
  return out;
}

grFrame randomFrame(std::mt19937& rng) {
  std::uniform_real_distribution<float> angle(0.0f, 360.0f), coordinate(-1.0f, 1.0f),
      offset(-300.0f, 300.0f);
  grVec3 axis;
  do axis = grVec3(coordinate(rng), coordinate(rng), coordinate(rng));
  while (length(axis) < 0.1f);
  return grFrame(grRotation(angle(rng), normalized(axis)),
                 grVec3(offset(rng), offset(rng), offset(rng)));
}

}  // namespace

TEST(Frame, ConstructionAndIdentity) {
  const grFrame identity;
  EXPECT_EQ(0.0f, identity.rotation.angle);
  EXPECT_EQ(kZ, identity.rotation.axis);
  EXPECT_EQ(kZ, identity.localRotation.axis);
  EXPECT_EQ(grZeroVec3, identity.position);
  EXPECT_EQ(kZ, grIdentityFrame.rotation.axis);

  grFrame floor(grRotation(-90, kX), grVec3(0, -256, 0));
  EXPECT_EQ(-90.0f, floor.localRotation.angle);  // both rotations take r
  floor.setRotation(grRotation(30, kY));
  EXPECT_EQ(kY, floor.rotation.axis);
  EXPECT_EQ(30.0f, floor.localRotation.angle);
  floor.setPosition(grVec3(1, 2, 3));
  EXPECT_EQ(grVec3(1, 2, 3), floor.position);
}

TEST(Frame, MovingBackAndAlong) {
  grFrame F;
  F.moveBack(grVec3(5, -3, 0));
  EXPECT_EQ(grVec3(-5, 3, 0), F.position);
  F.moveBack(grZeroVec3);
  EXPECT_EQ(grVec3(-5, 3, 0), F.position);

  grFrame G;
  G.rotate(grRotation(90, kZ));
  G.moveAlong(kX);  // its own x axis now points along the parent's y
  expectVecNear(kY, G.position, 1e-6f);
}

TEST(Frame, RotatingKeepsBothOrders) {
  grFrame F;
  F.rotate(grRotation(-10, kZ));
  EXPECT_NEAR(10.0f, F.rotation.angle, 1e-4f);
  expectVecNear(grVec3(0, 0, -1), F.rotation.axis, 1e-6f);
  EXPECT_NEAR(10.0f, F.localRotation.angle, 1e-4f);
  expectVecNear(grVec3(0, 0, -1), F.localRotation.axis, 1e-6f);
  // The viewing call is glRotatef of the inverse: (-10, (0, 0, -1)).
  EXPECT_NEAR(-10.0f, inverse(F.rotation).angle, 1e-4f);

  grFrame G;
  G.rotate(grRotation(90, kX));
  G.rotate(grRotation(90, kY));
  expectSameRotation(compose(grRotation(90, kY), grRotation(90, kX)), G.rotation, 1e-5f);
  expectSameRotation(compose(grRotation(90, kX), grRotation(90, kY)), G.localRotation, 1e-5f);
  EXPECT_GT(
      std::fabs(matrixFromRotation(G.rotation).m[2] - matrixFromRotation(G.localRotation).m[2]),
      0.5f);

  // The other order swaps the roles of the two accumulations.
  grFrame H;
  H.rotateOtherOrder(grRotation(90, kX));
  H.rotateOtherOrder(grRotation(90, kY));
  expectSameRotation(G.rotation, H.localRotation, 1e-5f);
  expectSameRotation(G.localRotation, H.rotation, 1e-5f);

  // Rotating back undoes a rotation on both sides.
  G.rotateBack(grRotation(90, kY));
  expectSameRotation(grRotation(90, kX), G.rotation, 1e-3f);
  expectSameRotation(grRotation(90, kX), G.localRotation, 1e-3f);
}

TEST(Frame, InverseAndRelativeFrames) {
  std::mt19937 rng(21);
  for (int n = 0; n < 100; ++n) {
    const grFrame F = randomFrame(rng), G = randomFrame(rng);

    // The inverse frame's placement undoes F's.
    const grFrame Finv = inverse(F);
    expectMatrixNear(inverse(placement(F)), placement(Finv), 2e-3f);

    // Applying the parent inverse(F) to F gives the identity.
    grFrame self = F;
    self.applyParent(Finv);
    expectVecNear(grZeroVec3, self.position, 2e-3f);  // positions up to ~500
    // Composing back to the identity reads the angle from w just below 1:
    // up to about 0.09 degrees, entries within 2e-3 (see the rotation tests).
    expectSameRotation(grIdentityRotation, self.rotation, 2e-3f);
    // ... and so does making F relative to itself, even in place.
    grFrame alias = F;
    alias.makeRelative(alias);
    expectVecNear(grZeroVec3, alias.position, 2e-3f);
    expectSameRotation(grIdentityRotation, alias.rotation, 2e-3f);

    // F placed in G: a point of F goes through F, then through G.
    expectMatrixNear(product(placement(G), placement(F)), placement(appliedCopy(F, G)), 2e-3f);
    // F expressed in G: placing it back in G gives F again.
    const grFrame rel = relativeCopy(F, G);
    expectMatrixNear(placement(F), placement(appliedCopy(rel, G)), 2e-3f);
  }
}

TEST(Frame, AppliedCopyLocalOrder) {
  // G turned 90 about z and shifted along x; F shifted along x. F's offset is
  // turned by G's local rotation, and the rotations combine G first.
  const grFrame G(grRotation(90, kZ), kX), F(grRotation(90, kX), kX);
  const grFrame out = appliedCopyLocalOrder(G, F);
  expectVecNear(grVec3(1, 1, 0), out.position, 1e-6f);
  expectSameRotation(compose(grRotation(90, kX), grRotation(90, kZ)), out.rotation, 1e-5f);
  expectSameRotation(compose(grRotation(90, kZ), grRotation(90, kX)), out.localRotation, 1e-5f);
}

TEST(Frame, FromMatrix) {
  const grFrame identity = frameFromMatrix(grIdentityMatrix);
  EXPECT_EQ(0.0f, identity.rotation.angle);
  EXPECT_EQ(kZ, identity.rotation.axis);
  EXPECT_EQ(kZ, identity.localRotation.axis);
  EXPECT_EQ(grZeroVec3, identity.position);

  std::mt19937 rng(22);
  for (int n = 0; n < 100; ++n) {
    const grFrame F = randomFrame(rng);
    const grFrame back = frameFromMatrix(placement(F));
    EXPECT_EQ(F.position, back.position);
    // Near 0 and 180 degrees acos loses accuracy: entries within 5e-3.
    expectSameRotation(F.rotation, back.rotation, 5e-3f);
    expectSameRotation(back.rotation, back.localRotation, 0.0f);
  }

  // An exact half turn: the axis comes from the symmetric part, not (0, 0, 1).
  grMatrix4 halfAboutX = grIdentityMatrix;
  halfAboutX.m[5] = -1, halfAboutX.m[10] = -1;
  const grFrame half = frameFromMatrix(halfAboutX);
  EXPECT_NEAR(180.0f, half.rotation.angle, 1e-3f);
  expectVecNear(kX, half.rotation.axis, 1e-6f);
}

TEST(Frustum, DefaultsAndBounds) {
  const grFrustumParams params;
  EXPECT_DOUBLE_EQ(M_PI / 2, params.angle);  // a 90-degree diagonal view
  EXPECT_EQ(4.0 / 3.0, params.aspect);
  EXPECT_EQ(0.1, params.near);
  EXPECT_EQ(1000.1, params.far);

  const grFrustumBounds b = params.bounds();
  EXPECT_NEAR(-0.08, b.left, 1e-12);
  EXPECT_NEAR(0.08, b.right, 1e-12);
  EXPECT_NEAR(-0.06, b.bottom, 1e-12);
  EXPECT_NEAR(0.06, b.top, 1e-12);
  EXPECT_EQ(0.1, b.near);
  EXPECT_EQ(1000.1, b.far);
}

TEST(Frustum, BoundsReproduceTheDiagonalAngle) {
  for (double angle : {0.3, 1.0, M_PI / 2, 2.5}) {
    for (double aspect : {0.5, 1.0, 4.0 / 3.0, 16.0 / 9.0}) {
      grFrustumParams params;
      params.angle = angle;
      params.aspect = aspect;
      params.near = 2.5;
      params.far = 300.0;
      const grFrustumBounds b = params.bounds();
      // The near rectangle's corner seen from the eye at half the angle.
      EXPECT_NEAR(angle, 2 * std::atan(std::hypot(b.right, b.top) / b.near), 1e-12);
      EXPECT_NEAR(aspect, (b.right - b.left) / (b.top - b.bottom), 1e-12);
      EXPECT_EQ(-b.right, b.left);
      EXPECT_EQ(-b.top, b.bottom);
    }
  }
}

TEST(Frustum, AspectAndFocalLength) {
  grFrustumParams params;
  params.setAspect(640, 480);
  EXPECT_EQ(640.0 / 480.0, params.aspect);

  params.setAngleFromFocalLength(21.633307652783937);
  EXPECT_NEAR(M_PI / 2, params.angle, 1e-15);
  params.setAngleFromFocalLength(50);
  EXPECT_NEAR(46.8, params.angle * 180 / M_PI, 0.01);  // a "normal" lens
  EXPECT_NEAR(0.8167, params.angle, 1e-4);

  params.setAspect(640, 0);  // no guard: infinite aspect, non-finite bounds
  EXPECT_TRUE(std::isinf(params.aspect));
  const grFrustumBounds b = params.bounds();
  EXPECT_FALSE(std::isfinite(b.left) && std::isfinite(b.right));
}
