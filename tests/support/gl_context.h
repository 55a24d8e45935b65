#pragma once
// GL test fixtures on a real Mesa context without any X server (see
// tools/headless_gl.h).
//
// GLTest is the fixture for tests of GL code: it makes the context current,
// and fails a test that leaves a GL error behind.
// OffscreenTarget gives the context a colour + depth framebuffer of a chosen
// size to draw into and read back with glReadPixels.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>

#include "tools/headless_gl.h"

namespace testsupport {

// Makes the process's headless context current; returns false (and the
// reason in *why) when no context could be created.
inline bool makeHeadlessContextCurrent(std::string* why = nullptr) {
  return headless::makeContextCurrent(why);
}

using OffscreenTarget = headless::OffscreenFramebuffer;

// The projection and model-view matrices back to the identity, GL_MODELVIEW
// left current: a drawing test's starting point.
inline void loadIdentityMatrices() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

// The first value glGetIntegerv gives for `name`.
inline GLint glInteger(GLenum name) {
  GLint value = 0;
  glGetIntegerv(name, &value);
  return value;
}

class GLTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

}  // namespace testsupport
