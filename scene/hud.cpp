// On-screen text: canvas projection, frame counter and the two text lines.
#include "scene/hud.h"

#include <GL/freeglut.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "utilities/clock.h"

uint32_t hudFrameCount = 0;
uint32_t hudLastSecond = 0;
uint32_t hudFps = 0;
float hudBottom = 0.0f;
float hudTop = 0.0f;

namespace {

constexpr float kCanvasWidth = 1024.0f;
constexpr float kCanvasCentre = kCanvasWidth / 2;
constexpr float kLineHeight = 10.0f;
constexpr float kTextLeft = 100.0f;
// Room for a 32-bit number and its unit; formatted on the stack, since the
// lines are redrawn every frame.
constexpr size_t kLineCapacity = 32;

}  // namespace

void hudProjection() {
  glLoadIdentity();
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  const auto width = static_cast<unsigned>(viewport[2]);
  const auto height = static_cast<unsigned>(viewport[3]);
  // A minimised or zero-height window: a frustum with no height is a GL
  // error and one with no width divides by zero, and nothing shows anyway.
  if (width == 0 || height == 0) return;
  const auto aspect = static_cast<float>(static_cast<long double>(height) / width);
  // At z = 0 the canvas lies 512 units in front of the eye, where this
  // frustum is exactly 1024 units wide.
  glFrustum(-1.0, 1.0, -aspect, aspect, 1.0, 1000.0);
  glTranslatef(-kCanvasCentre, -kCanvasCentre, -kCanvasCentre);
  hudBottom = kCanvasCentre - kCanvasCentre * aspect;
  hudTop = kCanvasCentre + kCanvasCentre * aspect;
}

void hudText(float x, float y, const char* text) {
  if (!text) return;
  const size_t length = std::strlen(text);
  glRasterPos2f(x, y);
  for (size_t i = 0; i < length; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\n') {
      y -= kLineHeight;
      glRasterPos2f(x, y);
    } else {
      glutBitmapCharacter(GLUT_BITMAP_HELVETICA_10, c);
    }
  }
}

void hudCountFrameAt(uint32_t nowMilliseconds) {
  ++hudFrameCount;
  const uint32_t second = nowMilliseconds / 1000;
  if (second != hudLastSecond) {
    hudLastSecond = second;
    hudFps = hudFrameCount;
    hudFrameCount = 0;
  }
}

void hudCountFrame() { hudCountFrameAt(libutils::monotonicMilliseconds()); }

void hudDrawFps() {
  char line[kLineCapacity];
  std::snprintf(line, sizeof line, "%" PRIu32 " fps", hudFps);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);  // before the raster position, which takes it
  hudText(kTextLeft, hudBottom + 10.0f, line);
}

void hudDrawMsec(uint32_t ms) {
  char line[kLineCapacity];
  std::snprintf(line, sizeof line, "%" PRIu32 " msec", ms);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  hudText(kTextLeft, hudTop - 20.0f, line);
}
