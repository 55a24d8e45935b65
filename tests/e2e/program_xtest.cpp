// The brelvane program itself, on a private Xvfb: its window, what it shows,
// resizing, and the keys that end it or do not.
//
// It runs in an empty working directory: without the photographs (which it
// skips without complaint) every frame is background, drops and text, so the
// checks below hold whatever the scene draws in the middle.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "tests/support/temp_file.h"
#include "tests/support/x_session.h"

namespace {

using namespace std::chrono_literals;
using testsupport::Screenshot;
using testsupport::windowPixel;
using testsupport::XSession;

const std::array<int, 3> kBackground = {46, 46, 46};  // 0.18 of 255

class Program : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* dir = std::getenv("BRELVANE_BINARY_DIR");
    ASSERT_NE(dir, nullptr) << "BRELVANE_BINARY_DIR is not set (CTest sets it)";
    binary_ = std::string(dir) + "/brelvane";
    ASSERT_EQ(access(binary_.c_str(), X_OK), 0) << binary_;
    ASSERT_FALSE(workdir_.path().empty());
  }
  void TearDown() override {
    if (pid_ > 0 && !XSession::waitExit(pid_, 0ms)) XSession::kill(pid_);
  }

  // Starts the program (its path as argv[0]), waits for its window and its
  // first frames, and puts the pointer into it so keys reach it.
  void start() {
    pid_ = x_.launch({binary_}, workdir_.path());
    window_ = x_.waitWindow(binary_, 10s);
    ASSERT_FALSE(window_.empty()) << "no window titled " << binary_;
    std::this_thread::sleep_for(700ms);
    x_.xdotool("mousemove --window " + window_ + " 320 240");
  }
  std::optional<int> pressAndWait(const std::string& key, std::chrono::milliseconds wait) {
    x_.xdotool("key --window " + window_ + " " + key);
    return XSession::waitExit(pid_, wait);
  }

  // Pixels within 12 of white in a window-coordinate box.
  static double whiteIn(const Screenshot& shot, int x0, int y0, int x1, int y1) {
    const auto a = windowPixel(x0, y0), b = windowPixel(x1, y1);
    return shot.fractionNear(a[0], a[1], b[0], b[1], {255, 255, 255}, 12) * (x1 - x0) * (y1 - y0);
  }
  static double backgroundIn(const Screenshot& shot, int x0, int y0, int x1, int y1) {
    const auto a = windowPixel(x0, y0), b = windowPixel(x1, y1);
    return shot.fractionNear(a[0], a[1], b[0], b[1], kBackground, 4);
  }

  XSession x_;
  std::string binary_, window_;
  testsupport::TempFolder workdir_{"brelvane-e2e"};
  pid_t pid_ = -1;
};

TEST_F(Program, opensItsWindowWithTheBackgroundAndTheTwoTextLines) {
  start();
  EXPECT_EQ(x_.xdotool("getwindowname " + window_), binary_);
  const std::string geometry = x_.xdotool("getwindowgeometry " + window_);
  EXPECT_NE(geometry.find("Geometry: 640x480"), std::string::npos) << geometry;

  const Screenshot shot = x_.screenshot();
  ASSERT_GT(shot.width, 640);
  // Corners away from the text and the scene's middle: dark grey.
  EXPECT_GT(backgroundIn(shot, 450, 20, 630, 120), 0.9);
  EXPECT_GT(backgroundIn(shot, 450, 360, 630, 470), 0.9);
  EXPECT_GT(backgroundIn(shot, 5, 100, 50, 380), 0.9);
  // The msec line near the top-left, the fps line near the bottom-left.
  EXPECT_GT(whiteIn(shot, 60, 1, 200, 20), 20) << "no text at the top-left";
  EXPECT_GT(whiteIn(shot, 60, 460, 200, 480), 20) << "no text at the bottom-left";
  EXPECT_LT(whiteIn(shot, 200, 1, 640, 20), 1) << "the top line runs too far right";
  // Outside the window: the bare root.
  EXPECT_EQ(shot.at(700, 300), (std::array<int, 3>{0, 0, 0}));
}

TEST_F(Program, followsAResize) {
  start();
  x_.xdotool("windowsize --sync " + window_ + " 400 300");
  std::this_thread::sleep_for(500ms);
  const Screenshot shot = x_.screenshot();
  EXPECT_GT(backgroundIn(shot, 300, 20, 395, 80), 0.9);
  EXPECT_GT(backgroundIn(shot, 300, 220, 395, 295), 0.9);
  // The canvas is 1024 units across 400 pixels: the text starts at x = 39,
  // the fps baseline about 4 pixels above the new bottom edge.
  EXPECT_GT(whiteIn(shot, 35, 280, 150, 300), 20) << "the fps line did not follow the bottom edge";
  EXPECT_GT(whiteIn(shot, 35, 1, 150, 20), 20) << "the msec line is gone";
  // Where the window was before: now the root.
  EXPECT_EQ(shot.at(600, 400), (std::array<int, 3>{0, 0, 0}));
  EXPECT_EQ(shot.at(100, 470), (std::array<int, 3>{0, 0, 0}));
}

TEST_F(Program, escapeEndsItWithStatusZero) {
  start();
  EXPECT_EQ(pressAndWait("Escape", 5s), std::optional<int>(0));
}

TEST_F(Program, qEndsItWithStatusZero) {
  start();
  EXPECT_EQ(pressAndWait("q", 5s), std::optional<int>(0));
}

TEST_F(Program, upperCaseQAndOtherKeysAreIgnored) {
  start();
  EXPECT_EQ(pressAndWait("Q", 300ms), std::nullopt) << "ended on 'Q'";
  EXPECT_EQ(pressAndWait("R", 300ms), std::nullopt) << "ended on 'R'";
  EXPECT_EQ(pressAndWait("r", 300ms), std::nullopt) << "ended on 'r'";
  EXPECT_EQ(pressAndWait("x", 700ms), std::nullopt) << "ended on 'x'";
  // Still alive and answering: 'q' ends it normally.
  EXPECT_EQ(pressAndWait("q", 5s), std::optional<int>(0));
}

}  // namespace
