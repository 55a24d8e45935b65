// The viewer's projection and view transform on a real (headless) GL
// context: what reshape leaves in GL_PROJECTION_MATRIX, compared with
// glFrustum of the expected bounds, and the model-view matrix the view step
// builds from the camera frame.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>

#include "scene/brelvane.h"
#include "tests/support/gl_context.h"
#include "tests/support/gl_recorder.h"

namespace {

using testsupport::CallRecorder;
using testsupport::glCall;
using testsupport::OffscreenTarget;
using Matrix = std::array<GLfloat, 16>;

char programName[] = "brelvane";
char* programArgs[] = {programName, nullptr};

Matrix matrix(GLenum which) {
  Matrix m{};
  glGetFloatv(which, m.data());
  return m;
}

void expectMatrixNear(const Matrix& actual, const Matrix& expected, float tolerance = 1e-5f) {
  for (int i = 0; i < 16; ++i)
    EXPECT_NEAR(actual[i], expected[i], tolerance * std::max(1.0f, std::fabs(expected[i])))
        << "element " << i;
}

// glFrustum for a diagonal view of 90 degrees at this aspect, near 0.1 and
// far 1000.1, built by GL itself.
Matrix expectedProjection(double aspect) {
  const double top = 0.1 / std::sqrt(aspect * aspect + 1.0);  // 0.1 * tan(45 deg)
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glFrustum(-top * aspect, top * aspect, -top, top, 0.1, 1000.1);
  const Matrix m = matrix(GL_PROJECTION_MATRIX);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  return m;
}

class CameraGL : public testsupport::GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    testsupport::loadIdentityMatrices();
  }
  Brelvane app{1, programArgs};
};

TEST_F(CameraGL, reshapeLoadsThePerspectiveOfTheWindowsShape) {
  OffscreenTarget target(640, 480);
  glMatrixMode(GL_PROJECTION);
  glTranslatef(5, 6, 7);  // whatever was there is replaced, not multiplied
  glMatrixMode(GL_MODELVIEW);
  const Matrix modelView = matrix(GL_MODELVIEW_MATRIX);

  CallRecorder rec;
  app.reshape(640, 480);
  rec.stop();

  EXPECT_DOUBLE_EQ(app.camera.frustum.aspect, 640.0 / 480.0);
  EXPECT_EQ(app.camera.frustum.near, 0.1);
  EXPECT_EQ(app.camera.frustum.far, 1000.1);
  expectMatrixNear(matrix(GL_PROJECTION_MATRIX), expectedProjection(640.0 / 480.0));
  // Bounds -0.08 .. 0.08 by -0.06 .. 0.06 at the near plane.
  ASSERT_EQ(rec.callsTo("glFrustum").size(), 1u) << rec.dump();
  EXPECT_EQ(rec.callsTo("glFrustum")[0],
            glCall("glFrustum", -0.08, 0.08, -0.06, 0.06, 0.1, 1000.1));

  GLint mode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_MODELVIEW) << "the matrix mode is put back";
  EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX), modelView);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 640);
  EXPECT_EQ(viewport[3], 480);
}

TEST_F(CameraGL, reshapeFollowsEveryNewShape) {
  app.reshape(640, 480);
  app.reshape(300, 600);
  EXPECT_DOUBLE_EQ(app.camera.frustum.aspect, 0.5);
  expectMatrixNear(matrix(GL_PROJECTION_MATRIX), expectedProjection(0.5));
  // From GL_PROJECTION the saver has nothing to switch or restore.
  glMatrixMode(GL_PROJECTION);
  CallRecorder rec;
  app.reshape(1000, 250);
  rec.stop();
  EXPECT_EQ(rec.count("glMatrixMode"), 0u) << rec.dump();
  expectMatrixNear(matrix(GL_PROJECTION_MATRIX), expectedProjection(4.0));
  glMatrixMode(GL_MODELVIEW);
}

TEST_F(CameraGL, anEmptyWindowKeepsTheLastFiniteProjection) {
  app.reshape(640, 480);
  const Matrix before = matrix(GL_PROJECTION_MATRIX);
  for (const auto& size : {std::array<int, 2>{640, 0}, {0, 480}, {0, 0}}) {
    app.reshape(size[0], size[1]);
    EXPECT_EQ(matrix(GL_PROJECTION_MATRIX), before) << size[0] << " x " << size[1];
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << size[0] << " x " << size[1];
    EXPECT_DOUBLE_EQ(app.camera.frustum.aspect, 640.0 / 480.0);
  }
  // ...and picks the shape up again once the window has an area.
  app.reshape(800, 400);
  expectMatrixNear(matrix(GL_PROJECTION_MATRIX), expectedProjection(2.0));
}

TEST_F(CameraGL, anUnmovedCameraStandsFiveHundredUnitsBackWithoutARotation) {
  CallRecorder rec;
  app.camera.applyViewTransform();
  rec.stop();
  EXPECT_EQ(rec.calls(), (std::vector<std::string>{glCall("glTranslatef", -0.0f, -0.0f, -0.0f),
                                                   glCall("glTranslatef", 0.0f, 0.0f, -500.0f)}));
  Matrix expected{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -500, 1};
  EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX), expected);
}

TEST_F(CameraGL, theViewUndoesTheCameraRotationThenItsPosition) {
  app.camera.pan(libgr::grVec3(30, -20, 0));  // camera at (-30, 20, 0)
  app.camera.rotate(40);                      // camera turned 40 degrees about (0, 0, -1)
  app.camera.applyViewTransform();
  const Matrix view = matrix(GL_MODELVIEW_MATRIX);

  glLoadIdentity();
  glRotatef(40, 0, 0, 1);  // the inverse of the camera's turn
  glTranslatef(30, -20, 0);
  glTranslatef(0, 0, -500);
  expectMatrixNear(view, matrix(GL_MODELVIEW_MATRIX));
}

TEST_F(CameraGL, zoomIsInert) {
  app.camera.pan(libgr::grVec3(3, 4, 0));
  const libgr::grFrame camera = app.camera.frame;
  const libgr::grFrustumParams frustum = app.camera.frustum;
  CallRecorder rec;
  app.camera.zoom(0.25f);
  app.camera.zoom(-7.0f);
  rec.stop();
  EXPECT_TRUE(rec.calls().empty()) << rec.dump();
  EXPECT_EQ(std::memcmp(&camera, &app.camera.frame, sizeof camera), 0);
  EXPECT_EQ(std::memcmp(&frustum, &app.camera.frustum, sizeof frustum), 0);
}

}  // namespace
