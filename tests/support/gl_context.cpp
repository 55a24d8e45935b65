#include "tests/support/gl_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/glext.h>

#include <string>

namespace testsupport {
namespace {

struct HeadlessContext {
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLContext context = EGL_NO_CONTEXT;
  std::string error;

  HeadlessContext() {
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
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
                                       EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (!eglChooseConfig(display, configAttributes, &config, 1, &configs) || configs == 0) {
      config = nullptr;  // surfaceless contexts work without a config too
    }
    const EGLint contextAttributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                        EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
    if (context == EGL_NO_CONTEXT) {
      error = "eglCreateContext failed";
      return;
    }
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
      error = "eglMakeCurrent failed";
      context = EGL_NO_CONTEXT;
    }
  }
};

}  // namespace

bool makeHeadlessContextCurrent(std::string* why) {
  static HeadlessContext headless;
  if (headless.context == EGL_NO_CONTEXT) {
    if (why) *why = headless.error;
    return false;
  }
  eglMakeCurrent(headless.display, EGL_NO_SURFACE, EGL_NO_SURFACE, headless.context);
  return true;
}

void GLTest::SetUp() {
  std::string why;
  ASSERT_TRUE(makeHeadlessContextCurrent(&why)) << why;
  while (glGetError() != GL_NO_ERROR) {
  }
}

void GLTest::TearDown() {
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "the test left a GL error behind";
}

OffscreenTarget::OffscreenTarget(int width, int height) : width_(width), height_(height) {
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

OffscreenTarget::~OffscreenTarget() {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteRenderbuffers(1, &depth_);
  glDeleteRenderbuffers(1, &color_);
  glDeleteFramebuffers(1, &framebuffer_);
}

std::array<uint8_t, 4> OffscreenTarget::pixel(int x, int y) const {
  std::array<uint8_t, 4> rgba{};
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  return rgba;
}

std::vector<uint8_t> OffscreenTarget::readAll() const {
  std::vector<uint8_t> rgba(static_cast<size_t>(width_) * height_ * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  return rgba;
}

}  // namespace testsupport
