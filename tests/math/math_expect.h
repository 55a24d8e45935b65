#pragma once
// Tolerance comparisons shared by the math tests. Two rotations count as the
// same when their matrices agree: angle-axis records are not unique (a
// negated axis with a negated angle, 360-degree wraps).
#include <gtest/gtest.h>

#include "math/matrix.h"
#include "math/vector.h"

namespace mathtest {

inline void expectVecNear(const libgr::grVec3& expected, const libgr::grVec3& actual,
                          float tolerance) {
  EXPECT_NEAR(expected.x, actual.x, tolerance);
  EXPECT_NEAR(expected.y, actual.y, tolerance);
  EXPECT_NEAR(expected.z, actual.z, tolerance);
}

inline void expectMatrixNear(const float* expected, const float* actual, float tolerance) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(expected[i], actual[i], tolerance) << "index " << i;
}

inline void expectMatrixNear(const libgr::grMatrix4& expected, const libgr::grMatrix4& actual,
                             float tolerance) {
  expectMatrixNear(expected.m, actual.m, tolerance);
}

inline void expectSameRotation(const libgr::grRotation& expected, const libgr::grRotation& actual,
                               float tolerance) {
  expectMatrixNear(libgr::matrixFromRotation(expected), libgr::matrixFromRotation(actual),
                   tolerance);
}

inline void expectFinite(const libgr::grRotation& r) {
  EXPECT_TRUE(std::isfinite(r.angle) && std::isfinite(r.axis.x) && std::isfinite(r.axis.y) &&
              std::isfinite(r.axis.z))
      << r.angle << " about (" << r.axis.x << ", " << r.axis.y << ", " << r.axis.z << ")";
}

}  // namespace mathtest
