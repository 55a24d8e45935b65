// The math types against what a real OpenGL context builds: rotation
// matrices against glRotatef, composition against two glRotatef calls, the
// drawing and viewing calls of a frame against its placement, and frustum
// bounds against gluPerspective and gluProject.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "math/frame.h"
#include "tests/math/math_expect.h"
#include "tests/support/gl_context.h"

using namespace libgr;
using mathtest::expectMatrixNear;

namespace {

class GLReference : public testsupport::GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
  }
  void TearDown() override {
    testsupport::loadIdentityMatrices();
    GLTest::TearDown();
  }

  static grMatrix4 current(GLenum which) {
    grMatrix4 M;
    glGetFloatv(which, M.m);
    return M;
  }
  static void rotate(const grRotation& r) { glRotatef(r.angle, r.axis.x, r.axis.y, r.axis.z); }
};

grMatrix4 placement(const grFrame& F) {
  grMatrix4 M = matrixFromRotation(F.rotation);
  M.m[12] = F.position.x, M.m[13] = F.position.y, M.m[14] = F.position.z;
  return M;
}

std::vector<grRotation> sampleRotations() {
  std::vector<grRotation> samples = {
      {90, 0, 0, 1}, {-90, 1, 0, 0}, {45, 0, 2, 0},   {180, 1, 1, 1},
      {0, 0, 0, 1},  {360, 0, 1, 0}, {725, 3, -4, 5}, {-0.25f, 0, 0, 1},
  };
  std::mt19937 rng(31);
  std::uniform_real_distribution<float> angle(-720.0f, 720.0f), coordinate(-5.0f, 5.0f);
  for (int n = 0; n < 50; ++n)
    samples.emplace_back(angle(rng), coordinate(rng), coordinate(rng), coordinate(rng));
  return samples;
}

}  // namespace

TEST_F(GLReference, RotationMatricesMatchGlRotatef) {
  for (const grRotation& r : sampleRotations()) {
    glLoadIdentity();
    rotate(r);
    // Mesa builds the same axis-angle matrix in float (normalising the
    // axis): agreement to a few ulps of 1.
    SCOPED_TRACE(::testing::Message()
                 << r.angle << " about " << r.axis.x << "," << r.axis.y << "," << r.axis.z);
    expectMatrixNear(current(GL_MODELVIEW_MATRIX), matrixFromRotation(r), 2e-6f);
    const grRotation unit(r.angle, normalized(r.axis));
    expectMatrixNear(current(GL_MODELVIEW_MATRIX), matrixFromQuaternion(toQuaternion(unit)), 2e-6f);
  }
}

TEST_F(GLReference, CompositionMatchesTwoGlRotatefCalls) {
  const std::vector<grRotation> samples = sampleRotations();
  for (size_t i = 0; i + 1 < samples.size(); ++i) {
    const grRotation a(samples[i].angle, normalized(samples[i].axis));
    const grRotation b(samples[i + 1].angle, normalized(samples[i + 1].axis));
    glLoadIdentity();
    rotate(a);  // GL multiplies on the right: b acts on points first
    rotate(b);
    // Angle-axis round trip costs up to ~0.03 degrees near 0 and 180.
    expectMatrixNear(current(GL_MODELVIEW_MATRIX), matrixFromRotation(compose(a, b)), 1e-3f);
  }
}

TEST_F(GLReference, FrameDrawingAndViewingCalls) {
  grFrame F(grRotation(-90, 1, 0, 0), grVec3(0, -256, 0));
  F.rotate(grRotation(30, normalized(grVec3(1, 2, 3))));
  F.moveAlong(grVec3(10, -20, 30));
  F.moveBack(grVec3(5, -3, 0));

  // Placing an object: translate, then rotate.
  glLoadIdentity();
  glTranslatef(F.position.x, F.position.y, F.position.z);
  rotate(F.rotation);
  expectMatrixNear(current(GL_MODELVIEW_MATRIX), placement(F), 1e-4f);

  // Viewing from it: rotate by the inverse, then translate back. The result
  // undoes the placement and equals the inverse frame's placement.
  glLoadIdentity();
  rotate(inverse(F.rotation));
  glTranslatef(-F.position.x, -F.position.y, -F.position.z);
  const grMatrix4 view = current(GL_MODELVIEW_MATRIX);
  expectMatrixNear(view, inverse(placement(F)), 1e-3f);  // translations ~300
  expectMatrixNear(view, placement(inverse(F)), 1e-3f);
}

TEST_F(GLReference, FrustumBoundsMatchGluPerspective) {
  grFrustumParams params;
  for (double aspect : {4.0 / 3.0, 1.0, 0.75, 16.0 / 9.0}) {
    params.aspect = aspect;
    const grFrustumBounds b = params.bounds();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(b.left, b.right, b.bottom, b.top, b.near, b.far);
    const grMatrix4 fromBounds = current(GL_PROJECTION_MATRIX);

    // The vertical angle implied by a diagonal angle pi/2:
    // tan(fovy/2) = tan(pi/4) / sqrt(aspect^2 + 1).
    const double fovyDegrees = 2 * std::atan(1.0 / std::sqrt(aspect * aspect + 1)) * 180 / M_PI;
    glLoadIdentity();
    gluPerspective(fovyDegrees, aspect, params.near, params.far);
    expectMatrixNear(current(GL_PROJECTION_MATRIX), fromBounds, 1e-5f);
  }
  // At 4:3 the vertical view is about 61.9 degrees (0.06 / 0.1 = tan 31 deg).
  params.aspect = 4.0 / 3.0;
  EXPECT_NEAR(61.93, 2 * std::atan(params.bounds().top / params.near) * 180 / M_PI, 0.01);
}

TEST_F(GLReference, DiagonalDirectionProjectsToTheCorner) {
  // A point 45 degrees off the view axis along the diagonal (half of the
  // pi/2 diagonal angle) lands on the window's corner.
  grFrustumParams params;
  params.setAspect(640, 480);
  const grFrustumBounds b = params.bounds();
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glFrustum(b.left, b.right, b.bottom, b.top, b.near, b.far);

  GLdouble model[16], projection[16];
  glGetDoublev(GL_MODELVIEW_MATRIX, model);
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  const GLint viewport[4] = {0, 0, 640, 480};
  const double distance = 500.0;                 // the camera's distance from the scene
  const double off = distance / std::sqrt(2.0);  // 45 degrees off the axis
  const double corner[2][3] = {{off * 0.8, off * 0.6, -off}, {-off * 0.8, -off * 0.6, -off}};
  const double expected[2][2] = {{640, 480}, {0, 0}};
  for (int i = 0; i < 2; ++i) {
    GLdouble wx, wy, wz;
    ASSERT_EQ(GL_TRUE, gluProject(corner[i][0], corner[i][1], corner[i][2], model, projection,
                                  viewport, &wx, &wy, &wz));
    EXPECT_NEAR(expected[i][0], wx, 1e-3);
    EXPECT_NEAR(expected[i][1], wy, 1e-3);
  }
}
