// EGL surfaceless context for fuzz targets: no X server, no window.
#include "fuzz/headless_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

namespace fuzzsupport {
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
    // Fixed-function GL and GLU need the compatibility profile.
    const EGLint attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                 EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    context = eglCreateContext(display, nullptr, EGL_NO_CONTEXT, attributes);
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
  return eglMakeCurrent(headless.display, EGL_NO_SURFACE, EGL_NO_SURFACE, headless.context);
}

}  // namespace fuzzsupport
