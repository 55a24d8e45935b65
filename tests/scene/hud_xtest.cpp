// The on-screen text's glyph drawing, with GLUT's real bitmap font: glyph
// advance and line breaks in the raster position, the two lines' text,
// place and colour in the pixels.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "scene/hud.h"
#include "tests/support/call_order.h"
#include "tests/support/gl_context.h"
#include "tests/support/gl_recorder.h"
#include "tests/support/glut_session.h"

namespace {

using testsupport::bitmapText;
using testsupport::CallRecorder;
using testsupport::glCall;
using testsupport::OffscreenTarget;

class HudGlyphs : public testsupport::GlutSession {
 protected:
  void SetUp() override {
    GlutSession::SetUp();
    glutInitWindowSize(64, 64);
    glutCreateWindow("hud");  // for its GL context only; drawing goes off screen
    target_ = std::make_unique<OffscreenTarget>(640, 480);  // 0.625 pixels per canvas unit
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    hudProjection();
  }
  void TearDown() override {
    target_.reset();
    GlutSession::TearDown();
  }

  static std::array<GLfloat, 4> raster() {
    std::array<GLfloat, 4> position{};
    glGetFloatv(GL_CURRENT_RASTER_POSITION, position.data());
    return position;
  }
  static int width(const char* text) {
    int sum = 0;
    for (; *text; ++text) sum += glutBitmapWidth(GLUT_BITMAP_HELVETICA_10, *text);
    return sum;
  }

  // Bounding box of the white pixels, window coordinates from the bottom
  // left; count 0 when there are none.
  struct WhiteBox {
    int count = 0, x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
  };
  WhiteBox whitePixels(int yFrom, int yTo) const {
    const std::vector<uint8_t> rgba = target_->readAll();
    WhiteBox box;
    for (int y = yFrom; y < yTo; ++y)
      for (int x = 0; x < 640; ++x) {
        const uint8_t* p = &rgba[(static_cast<size_t>(y) * 640 + x) * 4];
        if (p[0] < 250 || p[1] < 250 || p[2] < 250) continue;
        ++box.count;
        box.x0 = std::min(box.x0, x);
        box.x1 = std::max(box.x1, x);
        box.y0 = std::min(box.y0, y);
        box.y1 = std::max(box.y1, y);
      }
    return box;
  }

  std::unique_ptr<OffscreenTarget> target_;
};

TEST_F(HudGlyphs, glyphsAdvanceTheRasterAndALineBreakGoesBackToX) {
  // Canvas (100, 500) is window (62.5, 232.5).
  hudText(100.0f, 500.0f, "ab");
  EXPECT_NEAR(raster()[0], 62.5f + width("ab"), 1e-3);
  EXPECT_NEAR(raster()[1], 232.5f, 1e-3);
  hudText(100.0f, 500.0f, "ab\ncd");
  EXPECT_NEAR(raster()[0], 62.5f + width("cd"), 1e-3);
  EXPECT_NEAR(raster()[1], 226.25f, 1e-3);
  // Ending in a line break: moved down, nothing more drawn.
  CallRecorder rec;
  hudText(100.0f, 500.0f, "ab\n");
  EXPECT_EQ(bitmapText(rec), "ab");
  EXPECT_NEAR(raster()[0], 62.5f, 1e-3);
  EXPECT_NEAR(raster()[1], 226.25f, 1e-3);
}

TEST_F(HudGlyphs, theFpsLineIsWhiteTextTenUnitsAboveTheBottom) {
  hudFps = 60;
  glColor4f(1, 0, 0, 1);  // the line must not take the colour it finds
  CallRecorder rec;
  hudDrawFps();
  rec.stop();
  EXPECT_EQ(bitmapText(rec), "60 fps");
  EXPECT_TRUE(testsupport::inOrder(
      rec.calls(), {glCall("glColor4f", 1.0f, 1.0f, 1.0f, 1.0f),
                    glCall("glRasterPos2f", 100.0f, 138.0f), "glutBitmapCharacter(ptr, 54)"}));
  // Baseline 6.25 pixels above the bottom edge, starting at x = 62.5.
  const WhiteBox box = whitePixels(0, 480);
  ASSERT_GT(box.count, 20);
  EXPECT_GE(box.x0, 62);
  EXPECT_LE(box.x1, 63 + width("60 fps"));
  EXPECT_GE(box.y0, 4);  // 'p' descends below the baseline
  EXPECT_LE(box.y1, 6 + 10);
}

TEST_F(HudGlyphs, theMsecLineIsWhiteTextTwentyUnitsBelowTheTop) {
  CallRecorder rec;
  hudDrawMsec(4294967295u);  // the widest number fits
  rec.stop();
  EXPECT_EQ(bitmapText(rec), "4294967295 msec");
  EXPECT_TRUE(testsupport::inOrder(rec.calls(), {glCall("glColor4f", 1.0f, 1.0f, 1.0f, 1.0f),
                                                 glCall("glRasterPos2f", 100.0f, 876.0f)}));
  // Baseline at (876 - 128) * 0.625 = 467.5.
  const WhiteBox box = whitePixels(0, 480);
  ASSERT_GT(box.count, 20);
  EXPECT_GE(box.x0, 62);
  EXPECT_LE(box.x1, 63 + width("4294967295 msec"));
  EXPECT_GE(box.y0, 465);
  EXPECT_LE(box.y1, 467 + 10);
}

TEST_F(HudGlyphs, numbersHaveNoLeadingZerosOrGrouping) {
  CallRecorder rec;
  hudDrawMsec(0);
  hudFps = 1234567;
  hudDrawFps();
  EXPECT_EQ(bitmapText(rec), "0 msec1234567 fps");
}

}  // namespace
