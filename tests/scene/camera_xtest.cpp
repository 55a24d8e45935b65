// The mouse on the viewer, with GLUT running (redisplay requests need it):
// left drags pan, right drags roll, the middle button and the wheel only ask
// for a redraw; checked on the camera frame, on the model-view matrix GL
// holds after the view step, and on the recorded redisplay requests.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>

#include "scene/brelvane.h"
#include "tests/support/gl_recorder.h"
#include "tests/support/glut_session.h"

namespace {

using testsupport::CallRecorder;
using testsupport::glCall;
using Matrix = std::array<GLfloat, 16>;

char programName[] = "brelvane";
char* programArgs[] = {programName, nullptr};

class CameraMouse : public testsupport::GlutSession {
 protected:
  void SetUp() override {
    GlutSession::SetUp();
    app = std::make_unique<Brelvane>(1, programArgs);
    glutCreateWindow("camera");  // current window for the redisplay requests
  }
  void TearDown() override {
    app.reset();
    GlutSession::TearDown();
  }

  // The model-view matrix after the view step from the identity.
  Matrix viewMatrix() {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    app->camera.applyViewTransform();
    Matrix m{};
    glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
    return m;
  }
  bool cameraIsUnmoved() const {
    const libgr::grFrame unmoved;
    return std::memcmp(&unmoved, &app->camera.frame, sizeof unmoved) == 0;
  }
  void drag(int button, int fromX, int fromY, int toX, int toY) {
    app->mouse(button, GLUT_DOWN, fromX, fromY);
    app->motion(toX, toY);
    app->mouse(button, GLUT_UP, toX, toY);
  }

  std::unique_ptr<Brelvane> app;
};

Matrix glMatrixOf(void (*build)()) {
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  build();
  Matrix m{};
  glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
  return m;
}

void expectMatrixNear(const Matrix& actual, const Matrix& expected, float tolerance = 1e-3f) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(actual[i], expected[i], tolerance) << "element " << i;
}

TEST_F(CameraMouse, aLeftDragMovesTheSceneWithThePointerOneUnitAPixel) {
  CallRecorder rec;
  app->mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 100, 100);
  EXPECT_TRUE(app->camera.panDrag.active);
  EXPECT_TRUE(rec.calls().empty()) << "a press asks for nothing:\n" << rec.dump();
  app->motion(110, 105);
  app->motion(130, 120);  // (+30, +20) in all
  app->mouse(GLUT_LEFT_BUTTON, GLUT_UP, 130, 120);
  rec.stop();
  EXPECT_FALSE(app->camera.panDrag.active);
  EXPECT_EQ(rec.calls(),
            (std::vector<std::string>{glCall("glutPostRedisplay"), glCall("glutPostRedisplay")}));
  EXPECT_EQ(app->camera.frame.position, libgr::grVec3(-30, 20, 0));
  EXPECT_FALSE(libgr::isNonIdentity(app->camera.frame.rotation));

  // Right by 30 and down by 20 (GL's y points up), then 500 units away.
  expectMatrixNear(viewMatrix(), glMatrixOf([] {
                     glTranslatef(30, -20, 0);
                     glTranslatef(0, 0, -500);
                   }));
  CallRecorder view;
  app->camera.applyViewTransform();
  EXPECT_EQ(view.count("glRotatef"), 0u) << "an unrotated camera issues no rotation";
}

TEST_F(CameraMouse, aRightDragOf40PixelsRollsTheView10Degrees) {
  app->mouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 200, 200);
  EXPECT_TRUE(app->camera.rollDrag.active);
  CallRecorder rec;
  app->motion(240, 230);  // the vertical part does nothing
  rec.stop();
  EXPECT_EQ(rec.count("glutPostRedisplay"), 1u);
  EXPECT_NEAR(app->camera.frame.rotation.angle, 10.0f, 1e-4f);
  EXPECT_NEAR(app->camera.frame.rotation.axis.z, -1.0f, 1e-6f);
  EXPECT_EQ(app->camera.frame.position, libgr::grVec3(0, 0, 0));

  CallRecorder view;
  const Matrix m = viewMatrix();
  view.stop();
  ASSERT_FALSE(view.calls().empty());
  const auto& first = view.callsTo("glRotatef");
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(view.calls()[2], first[0]) << view.dump();  // right after the reset
  EXPECT_NEAR(app->camera.frame.rotation.angle, 10.0f, 1e-4f);
  expectMatrixNear(m, glMatrixOf([] {
                     glRotatef(-10, 0, 0, -1);
                     glTranslatef(0, 0, 0);
                     glTranslatef(0, 0, -500);
                   }),
                   1e-5f);

  // Up and down with the button held changes nothing.
  const libgr::grRotation before = app->camera.frame.rotation;
  app->motion(240, 400);
  EXPECT_NEAR(app->camera.frame.rotation.angle, before.angle, 1e-3f);
  app->mouse(GLUT_RIGHT_BUTTON, GLUT_UP, 240, 400);
  EXPECT_FALSE(app->camera.rollDrag.active);
}

TEST_F(CameraMouse, aPanAfterARollMovesAlongTheSceneAxesUnderTheRoll) {
  drag(GLUT_RIGHT_BUTTON, 0, 0, 40, 0);
  drag(GLUT_LEFT_BUTTON, 100, 100, 130, 120);
  EXPECT_EQ(app->camera.frame.position, libgr::grVec3(-30, 20, 0));
  expectMatrixNear(viewMatrix(), glMatrixOf([] {
                     glRotatef(-10, 0, 0, -1);
                     glTranslatef(30, -20, 0);
                     glTranslatef(0, 0, -500);
                   }));
}

TEST_F(CameraMouse, theMiddleButtonAndTheWheelOnlyAskForARedraw) {
  const Matrix unmoved = viewMatrix();
  CallRecorder rec;
  app->mouse(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 50, 50);
  EXPECT_TRUE(app->camera.zoomDrag.active);
  app->motion(80, 10);
  app->motion(20, 300);
  app->mouse(GLUT_MIDDLE_BUTTON, GLUT_UP, 20, 300);
  EXPECT_FALSE(app->camera.zoomDrag.active);
  app->mouseWheel(0, 1, 5, 5);
  app->mouseWheel(0, -1, 5, 5);
  rec.stop();
  EXPECT_EQ(rec.calls(), std::vector<std::string>(4, glCall("glutPostRedisplay")));
  EXPECT_TRUE(cameraIsUnmoved());
  EXPECT_EQ(viewMatrix(), unmoved);
}

TEST_F(CameraMouse, otherWheelsAndDirectionsDoNothing) {
  CallRecorder rec;
  for (const auto& event : {std::array<int, 2>{1, 1}, {1, -1}, {-1, 1}, {0, 0}, {0, 2}, {0, -2}})
    app->mouseWheel(event[0], event[1], 5, 5);
  rec.stop();
  EXPECT_TRUE(rec.calls().empty()) << rec.dump();
  EXPECT_TRUE(cameraIsUnmoved());
}

TEST_F(CameraMouse, motionWithNoButtonHeldAsksForNothing) {
  CallRecorder rec;
  app->motion(10, 10);
  drag(GLUT_LEFT_BUTTON, 10, 10, 10, 10);  // a click: pressed and released
  rec.clear();
  app->motion(300, 200);
  // Buttons other than the three (say, a fourth) set no drag.
  app->mouse(3, GLUT_DOWN, 0, 0);
  app->mouse(7, GLUT_DOWN, 0, 0);
  app->motion(50, 50);
  app->mouse(3, GLUT_UP, 0, 0);
  rec.stop();
  EXPECT_TRUE(rec.calls().empty()) << rec.dump();
  EXPECT_FALSE(app->camera.panDrag.active || app->camera.zoomDrag.active ||
               app->camera.rollDrag.active);
  EXPECT_TRUE(cameraIsUnmoved());
}

TEST_F(CameraMouse, leftAndRightTogetherPanAndRollInOneMotion) {
  app->mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 100, 100);
  app->mouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 100, 100);
  CallRecorder rec;
  app->motion(140, 110);
  rec.stop();
  EXPECT_EQ(rec.count("glutPostRedisplay"), 2u) << "one per drag";
  EXPECT_EQ(app->camera.frame.position, libgr::grVec3(-40, 10, 0));
  EXPECT_NEAR(app->camera.frame.rotation.angle, 10.0f, 1e-4f);
  EXPECT_NEAR(app->camera.frame.rotation.axis.z, -1.0f, 1e-6f);

  // The drags are independent: letting go of the left button keeps rolling.
  app->mouse(GLUT_LEFT_BUTTON, GLUT_UP, 140, 110);
  app->motion(180, 110);
  EXPECT_EQ(app->camera.frame.position, libgr::grVec3(-40, 10, 0));
  EXPECT_NEAR(app->camera.frame.rotation.angle, 20.0f, 1e-3f);
}

}  // namespace
