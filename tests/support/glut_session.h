#pragma once
// Fixture for tests that need GLUT itself (windows, the bitmap font, redisplay
// requests, swaps): a private Xvfb and an initialised freeglut, torn down
// after each test. Drawing goes into an OffscreenTarget, read back with
// glReadPixels, since a window's front buffer reads black on Xvfb.
// Give each test its own process (CTest does): after glutExit and a second
// glutInit in one process, Mesa's GLX can fail a swap with an X error.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/gluty_registry.h"
#include "tests/support/gl_recorder.h"
#include "tests/support/x_session.h"

namespace testsupport {

class GlutSession : public ::testing::Test {
 protected:
  void SetUp() override {
    x_ = std::make_unique<XSession>();
    x_->exportDisplay();
    int argc = 1;
    char name[] = "glut_test";
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  }
  void TearDown() override {
    if (glutGetWindow() != 0) {
      EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "a GL error was left behind";
    }
    if (glutGet(GLUT_INIT_STATE)) glutExit();
  }

  const XSession& xSession() const { return *x_; }

 private:
  std::unique_ptr<XSession> x_;
};

// GlutSession with an application object of type App opened as main opens
// it: constructed from the program's name, then registered, which makes its
// window and runs its init. The registry forgets it before GLUT goes.
template <typename App>
class OpenedApp : public GlutSession {
 protected:
  void open() {
    app = std::make_unique<App>(1, programArgs_);
    ASSERT_GT(vorn::glutyRegistry::instance()->add(app.get(), "scene-test"), 0);
  }
  void TearDown() override {
    vorn::glutyRegistry::instance()->windows.clear();
    GlutSession::TearDown();
  }

  std::unique_ptr<App> app;

 private:
  char programName_[9] = "brelvane";
  char* programArgs_[2] = {programName_, nullptr};
};

// The characters passed to glutBitmapCharacter, in order, from a recording.
inline std::string bitmapText(const testsupport::CallRecorder& rec) {
  std::string text;
  for (const auto& call : rec.callsTo("glutBitmapCharacter")) {
    const auto comma = call.rfind(", ");
    text += static_cast<char>(std::stoi(call.substr(comma + 2)));
  }
  return text;
}

}  // namespace testsupport
