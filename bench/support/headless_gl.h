#pragma once
// A headless OpenGL context for benchmarks: an EGL surfaceless Mesa
// compatibility context, made current once per process, and a colour+depth
// framebuffer object to draw into (the context has no window).
#include <GL/gl.h>

namespace benchsupport {

// Makes the process's headless context current; false (with a message on
// stderr) when EGL offers none.
bool makeHeadlessContextCurrent();

// A colour+depth render target of the given size, bound while it lives.
class OffscreenFramebuffer {
 public:
  OffscreenFramebuffer(int width, int height);
  ~OffscreenFramebuffer();
  OffscreenFramebuffer(const OffscreenFramebuffer&) = delete;
  OffscreenFramebuffer& operator=(const OffscreenFramebuffer&) = delete;

 private:
  GLuint framebuffer_ = 0, color_ = 0, depth_ = 0;
};

}  // namespace benchsupport
