// The scene application's frame on a real GLUT window: what construction
// and init leave in GL, the order of one displayed frame and the state it
// restores, what a frame shows, the idle step and the keys.
#include "scene/brelvane.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "framework/gluty_registry.h"
#include "scene/hud.h"
#include "tests/support/call_order.h"
#include "tests/support/gl_context.h"
#include "tests/support/gl_recorder.h"
#include "tests/support/glut_session.h"
#include "utilities/clock.h"

namespace {

using testsupport::bitmapText;
using testsupport::CallRecorder;
using testsupport::glCall;
using testsupport::glInteger;
using testsupport::inOrder;
using testsupport::OffscreenTarget;

char programName[] = "brelvane";
char* programArgs[] = {programName, nullptr};

// Counts the idle steps it is asked for, then takes the real one.
class CountingBrelvane : public Brelvane {
 public:
  using Brelvane::Brelvane;
  void idle() override {
    ++idleSteps;
    Brelvane::idle();
  }
  int idleSteps = 0;
};

using BrelvaneTest = testsupport::OpenedApp<CountingBrelvane>;

template <size_t N>
std::array<GLfloat, N> getFloats(GLenum what) {
  std::array<GLfloat, N> values{};
  glGetFloatv(what, values.data());
  return values;
}
std::array<GLfloat, 4> material(GLenum face, GLenum what) {
  std::array<GLfloat, 4> values{};
  glGetMaterialfv(face, what, values.data());
  return values;
}

TEST_F(BrelvaneTest, constructionOnlyReadsTheClockAndSetsTheWindowSize) {
  const uint32_t before = libutils::monotonicMilliseconds();
  CallRecorder rec;
  Brelvane constructed(1, programArgs);
  rec.stop();
  const uint32_t after = libutils::monotonicMilliseconds();
  EXPECT_TRUE(rec.calls().empty()) << "GL called before a window exists:\n" << rec.dump();
  EXPECT_EQ(glutGet(GLUT_INIT_WINDOW_WIDTH), 640);
  EXPECT_EQ(glutGet(GLUT_INIT_WINDOW_HEIGHT), 480);
  EXPECT_LE(libutils::millisecondsBetween(before, constructed.startTime),
            libutils::millisecondsBetween(before, after));
  EXPECT_EQ(constructed.elapsed, 0u);
  EXPECT_EQ(constructed.photoUpright, nullptr);
  EXPECT_EQ(constructed.photoFloor, nullptr);
}

TEST_F(BrelvaneTest, initSetsTheFixedStateOfEveryFrame) {
  CallRecorder rec;
  open();
  rec.stop();
  EXPECT_EQ(glutGet(GLUT_WINDOW_WIDTH), 640);
  EXPECT_EQ(glutGet(GLUT_WINDOW_HEIGHT), 480);

  EXPECT_EQ(getFloats<4>(GL_COLOR_CLEAR_VALUE), (std::array<GLfloat, 4>{0.18f, 0.18f, 0.18f, 1}));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_EQ(glInteger(GL_POINT_SMOOTH_HINT), GL_FASTEST);
  EXPECT_EQ(glInteger(GL_LINE_SMOOTH_HINT), GL_FASTEST);
  EXPECT_EQ(glInteger(GL_POLYGON_SMOOTH_HINT), GL_FASTEST);
  EXPECT_EQ(glInteger(GL_SHADE_MODEL), GL_SMOOTH);
  GLint polygonMode[2] = {0, 0};
  glGetIntegerv(GL_POLYGON_MODE, polygonMode);
  EXPECT_EQ(polygonMode[0], GL_FILL);
  EXPECT_EQ(polygonMode[1], GL_FILL);
  EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));

  // Front material only; the back keeps GL's defaults.
  EXPECT_EQ(material(GL_FRONT, GL_EMISSION), (std::array<GLfloat, 4>{0, 0, 0, 1}));
  EXPECT_EQ(material(GL_FRONT, GL_SPECULAR), (std::array<GLfloat, 4>{1, 1, 1, 1}));
  EXPECT_EQ(material(GL_FRONT, GL_SHININESS)[0], 100.0f);
  EXPECT_EQ(material(GL_BACK, GL_SPECULAR), (std::array<GLfloat, 4>{0, 0, 0, 1}));
  EXPECT_EQ(material(GL_BACK, GL_SHININESS)[0], 0.0f);
  // Ambient and diffuse follow the drawing colour from here on.
  EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
  EXPECT_EQ(glInteger(GL_COLOR_MATERIAL_FACE), GL_FRONT_AND_BACK);
  EXPECT_EQ(glInteger(GL_COLOR_MATERIAL_PARAMETER), GL_AMBIENT_AND_DIFFUSE);
  glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
  EXPECT_EQ(material(GL_BACK, GL_DIFFUSE), (std::array<GLfloat, 4>{0.25f, 0.5f, 0.75f, 1.0f}));

  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  EXPECT_EQ(glInteger(GL_BLEND_SRC), GL_SRC_ALPHA);
  EXPECT_EQ(glInteger(GL_BLEND_DST), GL_ONE_MINUS_SRC_ALPHA);

  // The material is set before colour tracking starts, which would
  // otherwise overwrite it.
  EXPECT_TRUE(inOrder(
      rec.calls(), {glCall("glHint", GLenum(GL_POINT_SMOOTH_HINT), GLenum(GL_FASTEST)),
                    glCall("glHint", GLenum(GL_LINE_SMOOTH_HINT), GLenum(GL_FASTEST)),
                    glCall("glHint", GLenum(GL_POLYGON_SMOOTH_HINT), GLenum(GL_FASTEST)),
                    glCall("glMaterialfv", GLenum(GL_FRONT), GLenum(GL_AMBIENT_AND_DIFFUSE), "ptr"),
                    glCall("glEnable", GLenum(GL_COLOR_MATERIAL))}));
  EXPECT_EQ(app->idleSteps, 0);
}

TEST_F(BrelvaneTest, reshapeSetsTheViewportToTheWholeWindow) {
  open();
  app->reshape(300, 200);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ((std::array<GLint, 4>{viewport[0], viewport[1], viewport[2], viewport[3]}),
            (std::array<GLint, 4>{0, 0, 300, 200}));
}

TEST_F(BrelvaneTest, displayDrawsOneFrameInOrderAndRestoresEveryAttribute) {
  open();
  OffscreenTarget target(640, 480);
  app->reshape(640, 480);
  glMatrixMode(GL_MODELVIEW);
  const auto projectionBefore = getFloats<16>(GL_PROJECTION_MATRIX);

  CallRecorder rec;
  app->display();
  rec.stop();

  const GLenum all = GL_ALL_ATTRIB_BITS;
  EXPECT_TRUE(inOrder(rec.calls(),
                      {glCall("glPushAttrib", all),
                       glCall("glClear", GLenum(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT)),
                       glCall("glMatrixMode", GLenum(GL_MODELVIEW)),
                       glCall("glLoadIdentity"),
                       glCall("glEnable", GLenum(GL_LIGHT0)),
                       glCall("glLightfv", GLenum(GL_LIGHT0), GLenum(GL_POSITION), "ptr"),
                       glCall("glLightfv", GLenum(GL_LIGHT0), GLenum(GL_AMBIENT), "ptr"),
                       glCall("glLightfv", GLenum(GL_LIGHT0), GLenum(GL_DIFFUSE), "ptr"),
                       glCall("glLightfv", GLenum(GL_LIGHT0), GLenum(GL_SPECULAR), "ptr"),
                       glCall("glLightfv", GLenum(GL_LIGHT0), GLenum(GL_LINEAR_ATTENUATION), "ptr"),
                       glCall("glEnable", GLenum(GL_LIGHTING)),
                       glCall("glColor4fv", "ptr"),
                       glCall("glDisable", GLenum(GL_LIGHTING)),
                       glCall("glMatrixMode", GLenum(GL_MODELVIEW)),
                       glCall("glLoadIdentity"),
                       glCall("glMatrixMode", GLenum(GL_PROJECTION)),
                       glCall("glPushMatrix"),
                       glCall("glLoadIdentity"),
                       glCall("glFrustum", -1.0, 1.0, -0.75, 0.75, 1.0, 1000.0),
                       glCall("glRasterPos2f", 100.0f, 138.0f),
                       glCall("glRasterPos2f", 100.0f, 876.0f),
                       glCall("glPopMatrix"),
                       glCall("glPopAttrib"),
                       glCall("glutSwapBuffers")}));
  EXPECT_EQ(rec.calls().back(), glCall("glutSwapBuffers"));
  EXPECT_EQ(rec.count("glPushAttrib"), 1u);
  EXPECT_EQ(rec.count("glPushMatrix"), rec.count("glPopMatrix"));

  // Everything the frame changed is back as init left it.
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
  EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
  EXPECT_EQ(glInteger(GL_MATRIX_MODE), GL_MODELVIEW);
  EXPECT_EQ(getFloats<16>(GL_PROJECTION_MATRIX), projectionBefore);
  EXPECT_EQ(glInteger(GL_PROJECTION_STACK_DEPTH), 1);

  // What the frame shows: dark grey, with white text near the bottom-left
  // and the top-left corners.
  const auto centre = target.pixel(320, 240);
  EXPECT_NEAR(centre[0], 46, 2);
  EXPECT_NEAR(centre[1], 46, 2);
  EXPECT_NEAR(centre[2], 46, 2);
  const auto whiteIn = [&](int x0, int y0, int x1, int y1) {
    const auto rgba = target.readAll();
    int count = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) {
        const uint8_t* p = &rgba[(static_cast<size_t>(y) * 640 + x) * 4];
        count += p[0] > 250 && p[1] > 250 && p[2] > 250;
      }
    return count;
  };
  EXPECT_GT(whiteIn(60, 0, 160, 20), 20) << "no fps line";
  EXPECT_GT(whiteIn(60, 460, 200, 480), 20) << "no msec line";
  EXPECT_EQ(whiteIn(0, 0, 640, 480), whiteIn(60, 0, 160, 20) + whiteIn(60, 460, 200, 480))
      << "white pixels outside the two text lines";
}

TEST_F(BrelvaneTest, theOverlayShowsElapsedAsOfTheLastIdleStep) {
  open();
  OffscreenTarget target(640, 480);
  app->reshape(640, 480);
  app->elapsed = 1234;
  CallRecorder rec;
  app->display();
  app->display();  // no idle step between: the same value again
  const std::string shown = bitmapText(rec);
  const auto first = shown.find("1234 msec");
  ASSERT_NE(first, std::string::npos) << shown;
  EXPECT_NE(shown.find("1234 msec", first + 1), std::string::npos) << shown;
  EXPECT_EQ(app->idleSteps, 0);
}

TEST_F(BrelvaneTest, idleMeasuresElapsedReadsTheViewportAndAsksForARedisplay) {
  open();
  app->reshape(320, 200);
  // Started five seconds ago, on whatever side of the clock's wrap.
  app->startTime = libutils::monotonicMilliseconds() - 5000u;
  CallRecorder rec;
  app->idle();
  rec.stop();
  EXPECT_GE(app->elapsed, 5000u);
  EXPECT_LT(app->elapsed, 5000u + 10000u);
  EXPECT_EQ((std::array<GLint, 4>{app->viewport[0], app->viewport[1], app->viewport[2],
                                  app->viewport[3]}),
            (std::array<GLint, 4>{0, 0, 320, 200}));
  EXPECT_TRUE(inOrder(rec.calls(), {glCall("glGetIntegerv", GLenum(GL_VIEWPORT), "ptr"),
                                    glCall("glutPostRedisplay")}));
  EXPECT_EQ(rec.count("glutPostRedisplay"), 1u);
}

TEST_F(BrelvaneTest, rRunsOneExtraIdleStepThenAsksForARedisplay) {
  open();
  app->startTime = libutils::monotonicMilliseconds() - 700u;
  CallRecorder rec;
  app->keyboard('r', 10, 10);
  rec.stop();
  EXPECT_EQ(app->idleSteps, 1);
  EXPECT_GE(app->elapsed, 700u);
  EXPECT_EQ(rec.count("glutPostRedisplay"), 2u) << rec.dump();  // the idle step's, then its own
  EXPECT_EQ(rec.calls().back(), glCall("glutPostRedisplay"));
}

TEST_F(BrelvaneTest, otherKeysChangeNothingAndAskForNothing) {
  open();
  CallRecorder rec;
  for (int key : {int('Q'), int('R'), int('x'), int(' '), int('\r'), 200})
    app->keyboard(static_cast<unsigned char>(key), 5, 5);
  rec.stop();
  EXPECT_TRUE(rec.calls().empty()) << rec.dump();
  EXPECT_EQ(app->idleSteps, 0);
  EXPECT_EQ(app->elapsed, 0u);
}

}  // namespace
