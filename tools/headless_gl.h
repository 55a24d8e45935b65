#pragma once
// A real Mesa OpenGL context without any X server, for the tests, the
// benchmarks and the fuzzer: EGL on the surfaceless platform, compatibility
// profile (display lists, fixed-function state and GLU all work). One
// context per process, created on first use.
//
// OffscreenFramebuffer gives that context a colour + depth framebuffer of a
// chosen size to draw into and read back (it has no window of its own).
#include <GL/gl.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace headless {

// Makes the process's headless context current; false, with the reason in
// *why, when no context could be created.
bool makeContextCurrent(std::string* why = nullptr);

class OffscreenFramebuffer {
 public:
  // Creates, binds and sets the viewport to the framebuffer.
  OffscreenFramebuffer(int width, int height);
  ~OffscreenFramebuffer();
  OffscreenFramebuffer(const OffscreenFramebuffer&) = delete;
  OffscreenFramebuffer& operator=(const OffscreenFramebuffer&) = delete;

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

}  // namespace headless
