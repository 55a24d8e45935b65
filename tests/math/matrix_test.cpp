// Matrices: rotation matrices from angle-axis and quaternions and back,
// point transform, transpose, determinant and inverse. GLM is the
// independent reference for products, determinants and inverses.
#include "math/matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <glm/glm.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/quaternion.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <limits>
#include <random>

#include "tests/math/math_expect.h"

using namespace libgr;
using mathtest::expectMatrixNear;
using mathtest::expectVecNear;
using mathtest::fromGlm;
using mathtest::randomRotation;

namespace {

const grVec3 kX(1, 0, 0), kY(0, 1, 0), kZ(0, 0, 1);

glm::mat4 toGlm(const grMatrix4& M) { return glm::make_mat4(M.m); }

// A well-conditioned general matrix: random entries plus a dominant diagonal.
grMatrix4 randomMatrix(std::mt19937& rng) {
  std::uniform_real_distribution<float> entry(-2.0f, 2.0f);
  grMatrix4 M;
  for (float& e : M.m) e = entry(rng);
  for (int i = 0; i < 4; ++i) M.m[5 * i] += 6.0f;
  return M;
}

}  // namespace

TEST(Matrix, IdentityConstantAndLayout) {
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) EXPECT_EQ(r == c ? 1.0f : 0.0f, grIdentityMatrix.m[4 * c + r]);
  EXPECT_EQ(1.0f, determinant(grIdentityMatrix));
  expectMatrixNear(grIdentityMatrix, inverse(grIdentityMatrix), 0.0f);
}

TEST(Matrix, FromRotationEdgeCases) {
  const grMatrix4 quarter = matrixFromRotation(grRotation(90, kZ));
  EXPECT_NEAR(0.0f, quarter.m[0], 1e-7f);  // cos 90 in float: about -4e-8
  EXPECT_FLOAT_EQ(1.0f, quarter.m[1]);
  EXPECT_FLOAT_EQ(-1.0f, quarter.m[4]);
  EXPECT_NEAR(0.0f, quarter.m[5], 1e-7f);
  EXPECT_FLOAT_EQ(1.0f, quarter.m[10]);
  for (int i : {3, 7, 11, 12, 13, 14}) EXPECT_EQ(0.0f, quarter.m[i]) << i;
  EXPECT_EQ(1.0f, quarter.m[15]);
  expectVecNear(kY, transformPoint(kX, quarter), 1e-7f);

  expectMatrixNear(quarter, matrixFromRotation(grRotation(90, grVec3(0, 0, 2))), 0.0f);
  expectMatrixNear(grIdentityMatrix, matrixFromRotation(grRotation(0, kZ)), 0.0f);

  // A zero axis leaves cos(theta) times the identity (here a point reflection).
  const grMatrix4 noAxis = matrixFromRotation(grRotation(180, grZeroVec3));
  EXPECT_FLOAT_EQ(-1.0f, noAxis.m[0]);
  EXPECT_FLOAT_EQ(-1.0f, noAxis.m[10]);
  EXPECT_EQ(0.0f, noAxis.m[1]);
}

TEST(Matrix, FromRotationMatchesGlmAndIsOrthonormal) {
  std::mt19937 rng(7);
  for (int n = 0; n < 200; ++n) {
    const grRotation r = randomRotation(rng, false);
    const grMatrix4 M = matrixFromRotation(r);
    const glm::vec3 axis = glm::normalize(glm::vec3(r.axis.x, r.axis.y, r.axis.z));
    // Both build the same axis-angle matrix in float: agreement to a few ulps.
    expectMatrixNear(fromGlm(glm::rotate(glm::mat4(1.0f), glm::radians(r.angle), axis)), M, 2e-6f);
    // Rotations preserve volume and orientation, and their inverse is the transpose.
    EXPECT_NEAR(1.0f, determinant(M), 1e-5f);
    expectMatrixNear(transpose(M), inverse(M), 1e-5f);
  }
}

TEST(Matrix, FromQuaternion) {
  expectMatrixNear(grIdentityMatrix, matrixFromQuaternion(grQuaternion(1, 0, 0, 0)), 0.0f);
  const float c = std::cos(static_cast<float>(M_PI / 4)),
              s = std::sin(static_cast<float>(M_PI / 4));
  expectVecNear(kZ, transformPoint(kY, matrixFromQuaternion(grQuaternion(c, s, 0, 0))), 1e-6f);

  std::mt19937 rng(8);
  for (int n = 0; n < 100; ++n) {
    grRotation r = randomRotation(rng, false);
    r.axis = normalized(r.axis);
    const grQuaternion q = toQuaternion(r);
    // Same motion by both routes, and the same as GLM's quaternion matrix.
    expectMatrixNear(matrixFromRotation(r), matrixFromQuaternion(q), 2e-6f);
    expectMatrixNear(fromGlm(glm::mat4_cast(glm::quat(q.w, q.x, q.y, q.z))),
                     matrixFromQuaternion(q), 1e-6f);
  }
  // Not normalised first: a quaternion of length 2 scales by 4.
  EXPECT_FLOAT_EQ(4.0f, matrixFromQuaternion(grQuaternion(2, 0, 0, 0)).m[0]);
}

TEST(Matrix, ToRotation) {
  const grRotation fromIdentity = rotationFromMatrix(grIdentityMatrix);
  EXPECT_EQ(0.0f, fromIdentity.angle);
  EXPECT_EQ(grZeroVec3, fromIdentity.axis);  // no (0, 0, 1) fallback here

  const grRotation sixty = rotationFromMatrix(matrixFromRotation(grRotation(60, kX)));
  EXPECT_NEAR(60.0f, sixty.angle, 1e-4f);
  expectVecNear(kX, sixty.axis, 1e-6f);

  std::mt19937 rng(9);
  for (int n = 0; n < 100; ++n) {
    const grRotation r = randomRotation(rng, false);
    const grRotation back = rotationFromMatrix(matrixFromRotation(r));
    EXPECT_GE(back.angle, 0.0f);
    EXPECT_LE(back.angle, 180.0f);
    // Near 0 and 180 degrees the conversion loses accuracy (acos conditioning).
    mathtest::expectSameRotation(r, back, 5e-3f);
  }

  // A NaN matrix gives the identity rotation.
  grMatrix4 broken = grIdentityMatrix;
  broken.m[0] = std::numeric_limits<float>::quiet_NaN();
  const grRotation fallback = rotationFromMatrix(broken);
  EXPECT_EQ(0.0f, fallback.angle);
  EXPECT_EQ(kZ, fallback.axis);
}

TEST(Matrix, ToRotationOfExactHalfTurns) {
  // An exact half turn is symmetric: the usual axis (from the antisymmetric
  // part) is zero, and its trace may round just below -1. Both used to give a
  // wrong rotation (zero axis, or the identity); the axis must come out right.
  for (const grVec3& axis : {kX, kY, kZ, normalized(grVec3(1, 2, -2))}) {
    grMatrix4 M = grIdentityMatrix;  // R = 2 k k^T - I
    const float k[3] = {axis.x, axis.y, axis.z};
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) M.m[4 * c + r] = 2 * k[r] * k[c] - (r == c ? 1.0f : 0.0f);
    const grRotation half = rotationFromMatrix(M);
    EXPECT_NEAR(180.0f, half.angle, 0.05f);
    EXPECT_NEAR(1.0f, std::fabs(dot(half.axis, axis)), 1e-6f);
    // One ulp of trace below -1 costs acos about 0.03 degrees: entries 1e-3.
    mathtest::expectSameRotation(grRotation(180, axis), half, 1e-3f);
  }
  grMatrix4 past = grIdentityMatrix;  // trace -1.0000001: c just below -1
  past.m[0] = -1.0000001f, past.m[5] = -1.0f, past.m[10] = 1.0f;
  const grRotation turned = rotationFromMatrix(past);
  EXPECT_EQ(180.0f, turned.angle);
  expectVecNear(kZ, turned.axis, 1e-6f);
}

TEST(Matrix, TransformPoint) {
  grMatrix4 M = matrixFromRotation(grRotation(90, kZ));
  M.m[12] = 10, M.m[13] = 20, M.m[14] = 30;
  expectVecNear(grVec3(10 - 2, 20 + 1, 30 + 3), transformPoint(grVec3(1, 2, 3), M), 1e-5f);
  // The fourth row is ignored: no division by w.
  grMatrix4 scaledW = M;
  scaledW.m[15] = 2.0f;
  scaledW.m[3] = 5.0f;
  EXPECT_EQ(transformPoint(grVec3(1, 2, 3), M), transformPoint(grVec3(1, 2, 3), scaledW));
}

TEST(Matrix, TransposeDeterminantInverse) {
  grMatrix4 M;
  for (int i = 0; i < 16; ++i) M.m[i] = static_cast<float>(i);
  const grMatrix4 T = transpose(M);
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) EXPECT_EQ(M.m[4 * r + c], T.m[4 * c + r]);
  expectMatrixNear(M, transpose(T), 0.0f);

  // Row swap flips the sign; a diagonal matrix multiplies its entries.
  grMatrix4 D = grIdentityMatrix;
  D.m[0] = 2, D.m[5] = 3, D.m[10] = 4, D.m[15] = 5;
  EXPECT_EQ(120.0f, determinant(D));
  grMatrix4 swapped = grIdentityMatrix;
  swapped.m[0] = 0, swapped.m[1] = 1, swapped.m[4] = 1, swapped.m[5] = 0;
  EXPECT_EQ(-1.0f, determinant(swapped));

  std::mt19937 rng(10);
  for (int n = 0; n < 100; ++n) {
    const grMatrix4 A = randomMatrix(rng);
    EXPECT_NEAR(glm::determinant(toGlm(A)), determinant(A), 1e-2f);  // |det| ~ 1e3
    const grMatrix4 Ainv = inverse(A);
    expectMatrixNear(fromGlm(glm::inverse(toGlm(A))), Ainv, 1e-5f);
    expectMatrixNear(grIdentityMatrix, fromGlm(toGlm(A) * toGlm(Ainv)), 1e-5f);
    expectMatrixNear(grIdentityMatrix, fromGlm(toGlm(Ainv) * toGlm(A)), 1e-5f);
    EXPECT_NEAR(1.0f, determinant(A) * determinant(Ainv), 1e-4f);
  }

  // A rigid motion's inverse undoes it.
  grMatrix4 rigid = matrixFromRotation(grRotation(33, grVec3(1, 1, 0)));
  rigid.m[12] = 4, rigid.m[13] = -5, rigid.m[14] = 6;
  const grVec3 p(7, 8, 9);
  expectVecNear(p, transformPoint(transformPoint(p, rigid), inverse(rigid)), 1e-5f);

  // Singular: no error, non-finite entries.
  grMatrix4 singular = grIdentityMatrix;
  singular.m[10] = 0.0f;
  EXPECT_EQ(0.0f, determinant(singular));
  EXPECT_FALSE(std::isfinite(inverse(singular).m[0]));
}
