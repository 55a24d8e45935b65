// The on-screen text's arithmetic on a real GL context: the canvas bounds and
// the projection GL holds for a viewport shape, and the line-break rule read
// back from the raster position. (Drawing glyphs needs GLUT; see
// hud_xtest.cpp. The frame counter needs no GL; see hud_test.cpp.)
#include "scene/hud.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "tests/support/gl_context.h"
#include "tests/support/gl_recorder.h"

namespace {

using testsupport::CallRecorder;
using testsupport::glCall;
using testsupport::GLTest;
using testsupport::OffscreenTarget;

class HudProjection : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
  }

  // Window coordinates of canvas point (x, y, 0) through the matrices GL
  // holds and its viewport.
  static std::array<double, 3> toWindow(double x, double y) {
    GLfloat p[16];
    glGetFloatv(GL_PROJECTION_MATRIX, p);
    GLint v[4];
    glGetIntegerv(GL_VIEWPORT, v);
    const double in[4] = {x, y, 0.0, 1.0};
    double clip[4] = {0, 0, 0, 0};
    for (int row = 0; row < 4; ++row)
      for (int col = 0; col < 4; ++col) clip[row] += p[col * 4 + row] * in[col];
    return {v[0] + (clip[0] / clip[3] + 1.0) * v[2] / 2.0,
            v[1] + (clip[1] / clip[3] + 1.0) * v[3] / 2.0, clip[2] / clip[3]};
  }
};

TEST_F(HudProjection, canvasBoundsFollowTheViewportShape) {
  {
    OffscreenTarget target(640, 480);  // a = 0.75
    hudProjection();
    EXPECT_FLOAT_EQ(hudBottom, 128.0f);
    EXPECT_FLOAT_EQ(hudTop, 896.0f);
  }
  {
    OffscreenTarget target(200, 400);  // twice as high as wide: a = 2
    hudProjection();
    EXPECT_FLOAT_EQ(hudBottom, -512.0f);
    EXPECT_FLOAT_EQ(hudTop, 1536.0f);
  }
  {
    OffscreenTarget target(400, 400);  // square: the canvas is 1024 x 1024
    hudProjection();
    EXPECT_FLOAT_EQ(hudBottom, 0.0f);
    EXPECT_FLOAT_EQ(hudTop, 1024.0f);
  }
}

TEST_F(HudProjection, canvasEdgesLandOnTheWindowEdges) {
  for (auto size : {std::array<int, 2>{640, 480}, {200, 400}, {1000, 250}}) {
    OffscreenTarget target(size[0], size[1]);
    glMatrixMode(GL_PROJECTION);
    hudProjection();
    SCOPED_TRACE(testing::Message() << size[0] << " x " << size[1]);
    const auto bottomLeft = toWindow(0.0, hudBottom);
    const auto topRight = toWindow(1024.0, hudTop);
    const auto centre = toWindow(512.0, 512.0);
    EXPECT_NEAR(bottomLeft[0], 0.0, 1e-2);
    EXPECT_NEAR(bottomLeft[1], 0.0, 1e-2);
    EXPECT_NEAR(topRight[0], size[0], 1e-2);
    EXPECT_NEAR(topRight[1], size[1], 1e-2);
    EXPECT_NEAR(centre[0], size[0] / 2.0, 1e-2);
    EXPECT_NEAR(centre[1], size[1] / 2.0, 1e-2);
    // Between the clip planes, so text is not clipped away.
    EXPECT_GT(centre[2], -1.0);
    EXPECT_LT(centre[2], 1.0);
  }
}

TEST_F(HudProjection, replacesTheCurrentMatrixWithFrustumAndCanvasShift) {
  OffscreenTarget target(640, 480);
  glTranslatef(3.0f, 4.0f, 5.0f);  // left over: must not survive
  CallRecorder rec;
  hudProjection();
  rec.stop();
  EXPECT_EQ(rec.calls(),
            (std::vector<std::string>{glCall("glLoadIdentity"),
                                      glCall("glGetIntegerv", GLenum(GL_VIEWPORT), "ptr"),
                                      glCall("glFrustum", -1.0, 1.0, -0.75, 0.75, 1.0, 1000.0),
                                      glCall("glTranslatef", -512.0f, -512.0f, -512.0f)}))
      << rec.dump();
  GLfloat modelView[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
  EXPECT_EQ(modelView[12], 0.0f) << "the model-view matrix was changed";
}

TEST_F(HudProjection, anEmptyViewportRaisesNoErrorAndKeepsTheBounds) {
  OffscreenTarget target(640, 480);
  hudProjection();
  for (auto empty : {std::array<int, 2>{640, 0}, {0, 480}, {0, 0}}) {
    glViewport(0, 0, empty[0], empty[1]);
    hudProjection();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << empty[0] << " x " << empty[1];
    GLfloat p[16];
    glGetFloatv(GL_PROJECTION_MATRIX, p);
    for (float value : p) EXPECT_TRUE(std::isfinite(value));
    EXPECT_FLOAT_EQ(hudBottom, 128.0f);
    EXPECT_FLOAT_EQ(hudTop, 896.0f);
  }
}

// The newline rule, through the raster position GL holds. A string of only
// newlines draws no glyph, so no GLUT is needed.
TEST_F(HudProjection, aLineBreakMovesTenCanvasUnitsDownAtTheSameX) {
  OffscreenTarget target(640, 480);  // 0.625 pixels per canvas unit
  hudProjection();
  glMatrixMode(GL_MODELVIEW);
  const auto rasterAfter = [](const char* text) {
    hudText(100.0f, 500.0f, text);
    std::array<GLfloat, 4> position{};
    glGetFloatv(GL_CURRENT_RASTER_POSITION, position.data());
    GLboolean valid = GL_FALSE;
    glGetBooleanv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
    EXPECT_TRUE(valid);
    return position;
  };
  // x: 100 * 0.625; y: (500 - 128) * 0.625, then 10 units (6.25 px) a line.
  auto none = rasterAfter("");
  EXPECT_NEAR(none[0], 62.5f, 1e-3);
  EXPECT_NEAR(none[1], 232.5f, 1e-3);
  auto one = rasterAfter("\n");
  EXPECT_NEAR(one[0], 62.5f, 1e-3);
  EXPECT_NEAR(one[1], 226.25f, 1e-3);
  auto three = rasterAfter("\n\n\n");
  EXPECT_NEAR(three[0], 62.5f, 1e-3);
  EXPECT_NEAR(three[1], 213.75f, 1e-3);

  CallRecorder rec;
  hudText(100.0f, 500.0f, "\n\n");
  EXPECT_EQ(rec.calls(), (std::vector<std::string>{glCall("glRasterPos2f", 100.0f, 500.0f),
                                                   glCall("glRasterPos2f", 100.0f, 490.0f),
                                                   glCall("glRasterPos2f", 100.0f, 480.0f)}));
  rec.clear();
  hudText(100.0f, 500.0f, nullptr);
  EXPECT_TRUE(rec.calls().empty()) << rec.dump();
}

}  // namespace
