// Costs of the math library's per-frame operations, each beside the GLM
// counterpart doing the same job, so the ratio can be read off one run.
#include <benchmark/benchmark.h>

#include <glm/glm.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/quaternion.hpp>
#include <random>
#include <vector>

#include "math/frame.h"

using namespace libgr;

namespace {

constexpr int kSamples = 256;  // cycled so the compiler cannot fold inputs

std::vector<grRotation> rotations() {
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> angle(-360.0f, 360.0f), coordinate(-1.0f, 1.0f);
  std::vector<grRotation> out;
  for (int i = 0; i < kSamples; ++i)
    out.emplace_back(angle(rng), normalized(grVec3(coordinate(rng), coordinate(rng), 0.5f)));
  return out;
}

glm::vec3 toGlm(const grVec3& v) { return glm::vec3(v.x, v.y, v.z); }

void composition(benchmark::State& state) {
  const auto samples = rotations();
  size_t i = 0;
  for (auto _ : state) {
    const grRotation r = compose(samples[i % kSamples], samples[(i + 1) % kSamples]);
    benchmark::DoNotOptimize(r);
    ++i;
  }
}
BENCHMARK(composition);

// GLM keeps orientations as quaternions; the fair counterpart converts both
// angle-axis inputs, multiplies and converts back as compose does.
void compositionGlm(benchmark::State& state) {
  const auto samples = rotations();
  size_t i = 0;
  for (auto _ : state) {
    const grRotation& a = samples[i % kSamples];
    const grRotation& b = samples[(i + 1) % kSamples];
    const glm::quat q = glm::angleAxis(glm::radians(a.angle), toGlm(a.axis)) *
                        glm::angleAxis(glm::radians(b.angle), toGlm(b.axis));
    const float angle = glm::degrees(glm::angle(q));
    const glm::vec3 axis = glm::axis(q);
    benchmark::DoNotOptimize(angle);
    benchmark::DoNotOptimize(axis);
    ++i;
  }
}
BENCHMARK(compositionGlm);

void matrixFromRotationBench(benchmark::State& state) {
  const auto samples = rotations();
  size_t i = 0;
  for (auto _ : state) {
    const grMatrix4 M = matrixFromRotation(samples[i++ % kSamples]);
    benchmark::DoNotOptimize(M);
  }
}
BENCHMARK(matrixFromRotationBench)->Name("matrixFromRotation");

void matrixFromRotationGlm(benchmark::State& state) {
  const auto samples = rotations();
  size_t i = 0;
  for (auto _ : state) {
    const grRotation& r = samples[i++ % kSamples];
    const glm::mat4 M = glm::rotate(glm::mat4(1.0f), glm::radians(r.angle), toGlm(r.axis));
    benchmark::DoNotOptimize(M);
  }
}
BENCHMARK(matrixFromRotationGlm);

void transformPointBench(benchmark::State& state) {
  grMatrix4 M = matrixFromRotation(grRotation(30, 1, 2, 3));
  M.m[12] = 4, M.m[13] = 5, M.m[14] = 6;
  grVec3 p(1, 2, 3);
  for (auto _ : state) {
    benchmark::DoNotOptimize(M);
    p = transformPoint(p, M);
    benchmark::DoNotOptimize(p);
  }
}
BENCHMARK(transformPointBench)->Name("transformPoint");

void transformPointGlm(benchmark::State& state) {
  glm::mat4 M =
      glm::rotate(glm::mat4(1.0f), glm::radians(30.0f), glm::normalize(glm::vec3(1, 2, 3)));
  M[3] = glm::vec4(4, 5, 6, 1);
  glm::vec3 p(1, 2, 3);
  for (auto _ : state) {
    benchmark::DoNotOptimize(M);
    p = glm::vec3(M * glm::vec4(p, 1.0f));
    benchmark::DoNotOptimize(p);
  }
}
BENCHMARK(transformPointGlm);

void inverseBench(benchmark::State& state) {
  grMatrix4 M = matrixFromRotation(grRotation(30, 1, 2, 3));
  M.m[12] = 4, M.m[13] = 5, M.m[14] = 6;
  for (auto _ : state) {
    benchmark::DoNotOptimize(M);
    const grMatrix4 inv = inverse(M);
    benchmark::DoNotOptimize(inv);
  }
}
BENCHMARK(inverseBench)->Name("inverse");

void inverseGlm(benchmark::State& state) {
  glm::mat4 M =
      glm::rotate(glm::mat4(1.0f), glm::radians(30.0f), glm::normalize(glm::vec3(1, 2, 3)));
  M[3] = glm::vec4(4, 5, 6, 1);
  for (auto _ : state) {
    benchmark::DoNotOptimize(M);
    const glm::mat4 inv = glm::inverse(M);
    benchmark::DoNotOptimize(inv);
  }
}
BENCHMARK(inverseGlm);

}  // namespace
