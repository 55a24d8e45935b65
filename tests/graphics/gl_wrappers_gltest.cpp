// The math-type wrappers on a real Mesa context: what each leaves in GL
// state, the double-precision frustum arguments, and the begin/end guard.
#include "graphics/gl_wrappers.h"

#include <gtest/gtest.h>

#include <array>
#include <stdexcept>

#include "tests/support/gl_context.h"
#include "tests/support/gl_recorder.h"

namespace {

using namespace libgr;
using testsupport::CallRecorder;
using testsupport::glCall;

using Vec4 = std::array<GLfloat, 4>;

class WrapperTest : public testsupport::GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    testsupport::loadIdentityMatrices();
  }
};

void expectMatrixNear(const GLfloat* actual, const std::array<GLfloat, 16>& expected) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(actual[i], expected[i], 1e-6f) << "element " << i;
}

TEST_F(WrapperTest, TranslateThenRotateBuildTheModelViewMatrix) {
  grTranslate(grVec3(1, 2, 3));
  grRotate(grRotation(90, 0, 0, 1));
  GLfloat m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  // Column-major: x maps to y, y to -x, then the translation column.
  expectMatrixNear(m, {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1});

  // Angle in degrees about the stored (unnormalised) axis.
  glLoadIdentity();
  grRotate(grRotation(-90, 2, 0, 0));
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  expectMatrixNear(m, {1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1});
}

TEST_F(WrapperTest, FrustumPassesAllSixBoundsInOrderAndInDoublePrecision) {
  glMatrixMode(GL_PROJECTION);
  // Asymmetric bounds, so every argument lands in a different element.
  grFrustum(grFrustumBounds{-1, 3, -2, 6, 2, 10});
  GLdouble m[16];
  glGetDoublev(GL_PROJECTION_MATRIX, m);
  EXPECT_DOUBLE_EQ(m[0], 2.0 * 2 / (3 - -1));     // 2n / (r - l)
  EXPECT_DOUBLE_EQ(m[5], 2.0 * 2 / (6 - -2));     // 2n / (t - b)
  EXPECT_DOUBLE_EQ(m[8], (3.0 + -1) / (3 - -1));  // (r + l) / (r - l)
  EXPECT_DOUBLE_EQ(m[9], (6.0 + -2) / (6 - -2));  // (t + b) / (t - b)
  EXPECT_NEAR(m[10], -(10.0 + 2) / (10 - 2), 1e-7);
  EXPECT_NEAR(m[14], -2.0 * 10 * 2 / (10 - 2), 1e-6);
  EXPECT_EQ(m[11], -1.0);

  // GL itself may round to float, so precision shows in the call: a bound
  // below float's normal range and one beyond its range keep their value.
  glLoadIdentity();
  CallRecorder rec;
  grFrustum(grFrustumBounds{-1e-40, 1, -1, 1, 1, 1e39});
  const std::vector<std::string> expected = {
      glCall("glFrustum", -1e-40, 1.0, -1.0, 1.0, 1.0, 1e39)};
  EXPECT_EQ(rec.calls(), expected);
  ASSERT_NE(expected[0], glCall("glFrustum", double(-1e-40f), 1.0, -1.0, 1.0, 1.0,
                                double(static_cast<float>(1e39))));
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
}

TEST_F(WrapperTest, ColoursReachTheirGLState) {
  grClearColor(grVec4(0.18f, 0.25f, 0.5f, 1.0f));
  Vec4 clear{};
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear.data());
  EXPECT_EQ(clear, (Vec4{0.18f, 0.25f, 0.5f, 1.0f}));

  grColor(grVec4(0.0f, 0.75f, 1.0f, 0.5f));
  Vec4 current{};
  glGetFloatv(GL_CURRENT_COLOR, current.data());
  EXPECT_EQ(current, (Vec4{0.0f, 0.75f, 1.0f, 0.5f}));
}

TEST_F(WrapperTest, LightParametersAndDirectionalPosition) {
  grLight(GL_LIGHT1, GL_DIFFUSE, grVec4(0.1f, 0.2f, 0.3f, 0.4f));
  Vec4 diffuse{};
  glGetLightfv(GL_LIGHT1, GL_DIFFUSE, diffuse.data());
  EXPECT_EQ(diffuse, (Vec4{0.1f, 0.2f, 0.3f, 0.4f}));

  // GL keeps the eye-space position: with an identity model-view matrix it
  // is what was sent, and the fourth component 0 makes it a direction.
  CallRecorder rec;
  grLightPosition(GL_LIGHT0, grVec3(0, 500, 0));
  rec.stop();
  EXPECT_EQ(rec.calls(),
            std::vector<std::string>{glCall("glLightfv", GLenum(GL_LIGHT0), GLenum(GL_POSITION),
                                            static_cast<const GLfloat*>(diffuse.data()))});
  Vec4 position{};
  glGetLightfv(GL_LIGHT0, GL_POSITION, position.data());
  EXPECT_EQ(position, (Vec4{0, 500, 0, 0}));

  // The model-view matrix at the call turns the direction, but never moves it.
  grTranslate(grVec3(10, 20, 30));
  grRotate(grRotation(90, 0, 0, 1));
  grLightPosition(GL_LIGHT0, grVec3(1, 0, 0));
  glGetLightfv(GL_LIGHT0, GL_POSITION, position.data());
  EXPECT_NEAR(position[0], 0, 1e-6f);
  EXPECT_NEAR(position[1], 1, 1e-6f);
  EXPECT_NEAR(position[2], 0, 1e-6f);
  EXPECT_EQ(position[3], 0.0f);
}

TEST_F(WrapperTest, MaterialVectorAndScalar) {
  grMaterial(GL_FRONT, GL_AMBIENT, grVec4(0.5f, 0.25f, 0.125f, 1.0f));
  grMaterial(GL_FRONT_AND_BACK, GL_SHININESS, 42.0f);
  Vec4 ambient{};
  glGetMaterialfv(GL_FRONT, GL_AMBIENT, ambient.data());
  EXPECT_EQ(ambient, (Vec4{0.5f, 0.25f, 0.125f, 1.0f}));
  Vec4 backAmbient{};
  glGetMaterialfv(GL_BACK, GL_AMBIENT, backAmbient.data());
  EXPECT_NE(backAmbient, ambient);  // only the front face was given
  GLfloat shininess[2] = {0, 0};
  glGetMaterialfv(GL_FRONT, GL_SHININESS, &shininess[0]);
  glGetMaterialfv(GL_BACK, GL_SHININESS, &shininess[1]);
  EXPECT_EQ(shininess[0], 42.0f);
  EXPECT_EQ(shininess[1], 42.0f);
}

TEST_F(WrapperTest, GetIntegersFillsEveryValue) {
  glViewport(3, 5, 70, 90);
  std::array<GLint, 4> viewport = {-1, -1, -1, -1};
  grGetIntegers(GL_VIEWPORT, viewport.data());
  EXPECT_EQ(viewport, (std::array<GLint, 4>{3, 5, 70, 90}));
}

TEST_F(WrapperTest, GuardedQuadDraws) {
  testsupport::OffscreenTarget target(16, 16);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glColor3f(1, 1, 0);
  const GLfloat leftHalf[4][2] = {{-1, -1}, {0, -1}, {0, 1}, {-1, 1}};
  {
    grBeginEnd quad(GL_QUADS);
    for (const GLfloat* corner : leftHalf) glVertex2fv(corner);
  }
  using Rgba = std::array<uint8_t, 4>;
  EXPECT_EQ(target.pixel(3, 8), (Rgba{255, 255, 0, 255})) << "inside the quad";
  EXPECT_EQ(target.pixel(12, 8), (Rgba{0, 0, 0, 255})) << "beside it";
}

TEST_F(WrapperTest, BeginEndGuardClosesThePrimitiveDuringUnwinding) {
  testsupport::OffscreenTarget target(4, 4);
  CallRecorder rec;
  try {
    grBeginEnd strip(GL_TRIANGLE_STRIP);
    glVertex2f(0, 0);
    throw std::runtime_error("vertex source failed");
  } catch (const std::runtime_error&) {
  }
  rec.stop();
  const std::vector<std::string> expected = {
      glCall("glBegin", GLenum(GL_TRIANGLE_STRIP)),
      glCall("glVertex2f", 0.0f, 0.0f),
      glCall("glEnd"),
  };
  EXPECT_EQ(rec.calls(), expected) << rec.dump();
  // Outside glBegin/glEnd again: queries work and raise no error.
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  GLint mode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_MODELVIEW);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
