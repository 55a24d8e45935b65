// The headless EGL context and the offscreen framebuffer.
#include "tools/headless_gl.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/glext.h>

namespace headless {
namespace {

struct Context {
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLContext context = EGL_NO_CONTEXT;
  std::string error;

  Context() {
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) {
      error = "eglGetPlatformDisplayEXT is missing";
      return;
    }
    display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
      error = "no surfaceless EGL display";
      return;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
      error = "eglBindAPI(EGL_OPENGL_API) failed";
      return;
    }
    // Fixed-function GL and GLU need the compatibility profile. Surfaceless
    // contexts need no config.
    const EGLint attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                 EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    context = eglCreateContext(display, nullptr, EGL_NO_CONTEXT, attributes);
    if (context == EGL_NO_CONTEXT) error = "eglCreateContext failed";
  }
};

}  // namespace

bool makeContextCurrent(std::string* why) {
  static Context headless;
  if (headless.context == EGL_NO_CONTEXT) {
    if (why) *why = headless.error;
    return false;
  }
  if (!eglMakeCurrent(headless.display, EGL_NO_SURFACE, EGL_NO_SURFACE, headless.context)) {
    if (why) *why = "eglMakeCurrent failed";
    return false;
  }
  return true;
}

OffscreenFramebuffer::OffscreenFramebuffer(int width, int height) : width_(width), height_(height) {
  glGenFramebuffers(1, &framebuffer_);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  glGenRenderbuffers(1, &color_);
  glBindRenderbuffer(GL_RENDERBUFFER, color_);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, color_);
  glGenRenderbuffers(1, &depth_);
  glBindRenderbuffer(GL_RENDERBUFFER, depth_);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
  glDrawBuffer(GL_COLOR_ATTACHMENT0);
  glReadBuffer(GL_COLOR_ATTACHMENT0);
  glViewport(0, 0, width, height);
}

OffscreenFramebuffer::~OffscreenFramebuffer() {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteRenderbuffers(1, &depth_);
  glDeleteRenderbuffers(1, &color_);
  glDeleteFramebuffers(1, &framebuffer_);
}

std::array<uint8_t, 4> OffscreenFramebuffer::pixel(int x, int y) const {
  std::array<uint8_t, 4> rgba{};
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  return rgba;
}

std::vector<uint8_t> OffscreenFramebuffer::readAll() const {
  std::vector<uint8_t> rgba(static_cast<size_t>(width_) * height_ * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  return rgba;
}

}  // namespace headless
