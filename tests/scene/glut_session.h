#pragma once
// Fixture for scene tests that need GLUT itself (the bitmap font, redisplay
// requests, swaps): a private Xvfb and an initialised freeglut, torn down
// after each test. Drawing goes into an OffscreenTarget, read back with
// glReadPixels, since a window's front buffer reads black on Xvfb.
// Give each test its own process (CTest does): after glutExit and a second
// glutInit in one process, Mesa's GLX can fail a swap with an X error.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/gl_recorder.h"
#include "tests/support/x_session.h"

namespace scenetest {

class GlutSession : public ::testing::Test {
 protected:
  void SetUp() override {
    x_ = std::make_unique<testsupport::XSession>();
    x_->exportDisplay();
    int argc = 1;
    char name[] = "scene_test";
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

 private:
  std::unique_ptr<testsupport::XSession> x_;
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

// True when `expected` appears in `calls` in this order (other calls may lie
// between), with the whole log in the failure message.
inline ::testing::AssertionResult inOrder(const std::vector<std::string>& calls,
                                          const std::vector<std::string>& expected) {
  auto at = calls.begin();
  for (const auto& want : expected) {
    at = std::find(at, calls.end(), want);
    if (at == calls.end()) {
      std::string all;
      for (const auto& c : calls) all += "  " + c + "\n";
      return ::testing::AssertionFailure() << "missing (in this order) " << want << " in\n" << all;
    }
    ++at;
  }
  return ::testing::AssertionSuccess();
}

}  // namespace scenetest
