#pragma once
// A real Mesa OpenGL context for tests, without any X server: EGL on the
// surfaceless platform, compatibility profile (display lists, fixed-function
// state, GLU all work). One context per process, made current on first use.
//
// GLTest is the fixture for tests of GL code: it makes the context current,
// and fails a test that leaves a GL error behind.
// OffscreenTarget gives the context a colour + depth framebuffer of a chosen
// size to draw into and read back with glReadPixels.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

namespace testsupport {

// Makes the process's headless context current; returns false (and the
// reason in *why) when no context could be created.
bool makeHeadlessContextCurrent(std::string* why = nullptr);

class GLTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

class OffscreenTarget {
 public:
  OffscreenTarget(int width, int height);
  ~OffscreenTarget();
  OffscreenTarget(const OffscreenTarget&) = delete;
  OffscreenTarget& operator=(const OffscreenTarget&) = delete;

  int width() const { return width_; }
  int height() const { return height_; }
  // RGBA bytes of pixel (x, y), y counted from the bottom as in GL.
  std::array<uint8_t, 4> pixel(int x, int y) const;
  // All pixels, RGBA, bottom row first.
  std::vector<uint8_t> readAll() const;

 private:
  int width_, height_;
  GLuint framebuffer_ = 0, color_ = 0, depth_ = 0;
};

}  // namespace testsupport
