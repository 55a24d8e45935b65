#pragma once
// Tolerance comparisons shared by the math tests. Two rotations count as the
// same when their matrices agree: angle-axis records are not unique (a
// negated axis with a negated angle, 360-degree wraps).
#include <gtest/gtest.h>
#include <glm/glm.hpp>
#include <glm/gtc/type_ptr.hpp>

#include <random>

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

// GLM's matrix (also column-major) as ours, for comparisons.
inline libgr::grMatrix4 fromGlm(const glm::mat4& m) {
  libgr::grMatrix4 out;
  const float* p = glm::value_ptr(m);
  for (int i = 0; i < 16; ++i) out.m[i] = p[i];
  return out;
}

// A random rotation of up to a whole turn either way; its axis is of unit
// length when `unitAxis`, otherwise deliberately not (the library must
// normalise it).
inline libgr::grRotation randomRotation(std::mt19937& rng, bool unitAxis) {
  std::uniform_real_distribution<float> angle(-360.0f, 360.0f), coordinate(-1.0f, 1.0f);
  libgr::grVec3 axis;
  do axis = libgr::grVec3(coordinate(rng), coordinate(rng), coordinate(rng));
  while (libgr::length(axis) < 0.1f);
  return libgr::grRotation(angle(rng), unitAxis ? libgr::normalized(axis) : axis);
}

}  // namespace mathtest
