// Headless EGL context and offscreen framebuffer for the benchmarks.
#include "bench/support/headless_gl.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/glext.h>

#include <cstdio>

namespace benchsupport {
namespace {

EGLContext createContext(EGLDisplay& display) {
  auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (!getPlatformDisplay) return EGL_NO_CONTEXT;
  display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) return EGL_NO_CONTEXT;
  if (!eglBindAPI(EGL_OPENGL_API)) return EGL_NO_CONTEXT;
  const EGLint attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                               EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
  return eglCreateContext(display, nullptr, EGL_NO_CONTEXT, attributes);
}

}  // namespace

bool makeHeadlessContextCurrent() {
  static EGLDisplay display = EGL_NO_DISPLAY;
  static const EGLContext context = createContext(display);
  if (context == EGL_NO_CONTEXT ||
      !eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
    std::fprintf(stderr, "no headless EGL OpenGL context\n");
    return false;
  }
  return true;
}

OffscreenFramebuffer::OffscreenFramebuffer(int width, int height) {
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
  glViewport(0, 0, width, height);
}

OffscreenFramebuffer::~OffscreenFramebuffer() {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteRenderbuffers(1, &depth_);
  glDeleteRenderbuffers(1, &color_);
  glDeleteFramebuffers(1, &framebuffer_);
}

}  // namespace benchsupport
