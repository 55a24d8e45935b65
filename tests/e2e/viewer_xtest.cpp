// The viewer in the real program, driven with the real mouse on a private
// Xvfb: a left drag pans the picture with the pointer, a right drag rolls it
// about the window's centre, the middle button and the wheel change nothing.
// Checked on screen through the back wall's edges (the program runs with a
// plain white wall photograph of the test's own), and on the view calls of
// the frames as apitrace records them.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/running_program.h"
#include "tests/scene/photo_files.h"
#include "tests/support/x_session.h"

namespace {

using namespace std::chrono_literals;
using testsupport::Screenshot;
using testsupport::TempFolder;
using testsupport::windowPixel;
using testsupport::XSession;

const std::array<int, 3> kBackground = {46, 46, 46};
const char* const kApitrace = "/usr/bin/apitrace";  // launched without a PATH search

// Where the projection puts the wall (512 units square, 756 units ahead
// with the camera unmoved): 400 pixels per unit of x/z at a 640 x 480 window
// with a 90-degree diagonal view, so its edges lie 256 * 400 / 756 = 135.4
// pixels from the centre.
constexpr double kPixelsPerUnitAtWall = 400.0 / 756.0;
constexpr double kWallTop = 240.0 - 256.0 * kPixelsPerUnitAtWall;
constexpr double kWallLeft = 320.0 - 256.0 * kPixelsPerUnitAtWall;

// One GL call as apitrace dumps it: the name and its numeric arguments.
struct TracedCall {
  std::string name;
  std::vector<double> args;
};

// "123 glTranslatef(x = 30, y = -20, z = -0)" -> {glTranslatef, {30, -20, -0}}
TracedCall parseCall(const std::string& line) {
  TracedCall call;
  std::istringstream in(line);
  std::string number;
  in >> number;
  std::string rest;
  std::getline(in, rest);
  const auto open = rest.find('(');
  const auto start = rest.find_first_not_of(' ');
  call.name = rest.substr(start, open - start);
  size_t at = open;
  while ((at = rest.find(" = ", at)) != std::string::npos) {
    at += 3;
    call.args.push_back(std::strtod(rest.c_str() + at, nullptr));
  }
  return call;
}

// The view step of every frame: the calls between the frame's model-view
// reset and the light, which follows it.
std::vector<std::vector<TracedCall>> viewStepsOf(const std::string& dump) {
  std::vector<std::vector<TracedCall>> frames;
  std::istringstream lines(dump);
  std::string line;
  std::optional<std::vector<TracedCall>> current;
  while (std::getline(lines, line)) {
    if (line.find("glLoadIdentity()") != std::string::npos) {
      current.emplace();
    } else if (line.find("glEnable(cap = GL_LIGHT0)") != std::string::npos) {
      if (current) frames.push_back(*current);
      current.reset();
    } else if (current && (line.find("glTranslatef(") != std::string::npos ||
                           line.find("glRotatef(") != std::string::npos)) {
      current->push_back(parseCall(line));
    } else {
      current.reset();  // not a view step after all
    }
  }
  return frames;
}

::testing::AssertionResult isCall(const TracedCall& call, const std::string& name,
                                  const std::vector<double>& args) {
  bool same = call.name == name && call.args.size() == args.size();
  for (size_t i = 0; same && i < args.size(); ++i) same = std::fabs(call.args[i] - args[i]) < 1e-3;
  if (same) return ::testing::AssertionSuccess();
  std::ostringstream out;
  out << call.name << "(";
  for (double a : call.args) out << a << " ";
  out << ") is not " << name;
  return ::testing::AssertionFailure() << out.str();
}

class Viewer : public ::testing::Test {
 protected:
  void TearDown() override {
    if (pid_ > 0 && !XSession::waitExit(pid_, 0ms)) XSession::kill(pid_);
  }
  void SetUp() override {
    binary_ = e2e::binaryDir() + "/brelvane";
    ASSERT_EQ(access(binary_.c_str(), X_OK), 0) << binary_ << " (BRELVANE_BINARY_DIR)";
    ASSERT_FALSE(dir_.path().empty());
    const scenetest::Rgb white{255, 255, 255};
    ASSERT_TRUE(scenetest::writeQuadrantBmp(dir_.file("p6155961.bmp"), 64, 64,
                                            {white, white, white, white}));
  }

  // Starts the program (under apitrace when `traceFile` is given) and waits
  // for its first frames.
  void start(const std::string& traceFile = "") {
    std::vector<std::string> argv = {binary_};
    if (!traceFile.empty()) argv = {kApitrace, "trace", "-o", traceFile, binary_};
    pid_ = x_.launch(argv, dir_.path());
    window_ = x_.waitWindow(binary_, 15s);
    ASSERT_FALSE(window_.empty()) << "no window titled " << binary_;
    std::this_thread::sleep_for(traceFile.empty() ? 700ms : 1500ms);
  }
  void stop() {
    x_.xdotool("mousemove --window " + window_ + " 320 240");
    x_.xdotool("key --window " + window_ + " q");
    EXPECT_EQ(XSession::waitExit(pid_, 15s), std::optional<int>(0));
    pid_ = -1;
  }
  // A drag with `button` through the given window points.
  void drag(int button, const std::vector<std::array<int, 2>>& points) {
    const std::string w = " --window " + window_ + " ";
    const std::string b = std::to_string(button);
    x_.xdotool("mousemove" + w + std::to_string(points[0][0]) + " " + std::to_string(points[0][1]));
    x_.xdotool("mousedown " + b);
    for (size_t i = 1; i < points.size(); ++i)
      x_.xdotool("mousemove" + w + std::to_string(points[i][0]) + " " +
                 std::to_string(points[i][1]));
    x_.xdotool("mouseup " + b);
    std::this_thread::sleep_for(300ms);
  }

  // First window row from the top whose pixel in `column` is not background
  // (the wall's top edge); -1 when there is none above row 220.
  static int wallTopAt(const Screenshot& shot, int column) {
    for (int y = 30; y < 220; ++y)
      if (!isBackground(shot, column, y)) return y;
    return -1;
  }
  static int wallLeftAt(const Screenshot& shot, int row) {
    for (int x = 120; x < 320; ++x)
      if (!isBackground(shot, x, row)) return x;
    return -1;
  }
  static bool isBackground(const Screenshot& shot, int x, int y) {
    const auto root = windowPixel(x, y);
    const auto rgb = shot.at(root[0], root[1]);
    for (int c = 0; c < 3; ++c)
      if (std::abs(rgb[c] - kBackground[c]) > 1) return false;
    return true;
  }
  // Leftmost white pixel of the elapsed-time line near the top-left corner
  // (its digits change, its place does not); -1 when there is none.
  static int textLeftEdge(const Screenshot& shot) {
    for (int x = 0; x < 200; ++x)
      for (int y = 0; y < 16; ++y) {
        const auto root = windowPixel(x, y);
        if (root[0] < 0 || root[1] < 0) continue;
        const auto rgb = shot.at(root[0], root[1]);
        if (rgb[0] > 240 && rgb[1] > 240 && rgb[2] > 240) return x;
      }
    return -1;
  }

  std::vector<std::vector<TracedCall>> tracedViewSteps(const std::string& traceFile) {
    std::string dump;
    EXPECT_EQ(x_.run("apitrace dump --color=never '" + traceFile + "'", &dump), 0);
    return viewStepsOf(dump);
  }

  XSession x_;
  TempFolder dir_;
  std::string binary_, window_;
  pid_t pid_ = -1;
};

TEST_F(Viewer, aLeftDragMovesThePictureWithThePointer) {
  start();
  const Screenshot before = x_.screenshot();
  const int top0 = wallTopAt(before, 320), left0 = wallLeftAt(before, 130);
  ASSERT_GT(top0, 0) << "no wall on screen";
  EXPECT_NEAR(top0, kWallTop, 2.0);
  EXPECT_NEAR(left0, kWallLeft, 2.0);

  drag(1, {{100, 100}, {115, 110}, {130, 120}});  // right 30, down 20
  const Screenshot after = x_.screenshot();
  // The scene moved 30 units right and 20 down: at the wall's depth that is
  // 15.9 and 10.6 pixels.
  EXPECT_NEAR(wallLeftAt(after, 130) - left0, 30.0 * kPixelsPerUnitAtWall, 1.5);
  EXPECT_NEAR(wallTopAt(after, 320) - top0, 20.0 * kPixelsPerUnitAtWall, 1.5);
  // The text overlay does not move with the scene.
  ASSERT_GT(textLeftEdge(before), 0) << "no text line";
  EXPECT_NEAR(textLeftEdge(after), textLeftEdge(before), 2);
  stop();
}

TEST_F(Viewer, aRightDragRollsThePictureCounterClockwise) {
  start();
  drag(3, {{200, 300}, {220, 290}, {240, 310}});  // 40 right: 10 degrees
  const Screenshot shot = x_.screenshot();
  // The wall's top edge now slopes up to the right by tan(10 degrees).
  const int leftEnd = wallTopAt(shot, 260), rightEnd = wallTopAt(shot, 380);
  ASSERT_GT(leftEnd, 0);
  ASSERT_GT(rightEnd, 0);
  EXPECT_NEAR(leftEnd - rightEnd, 120.0 * std::tan(10.0 * M_PI / 180.0), 2.0);
  // ...and turns about the centre: midway it is where it was.
  EXPECT_NEAR(
      wallTopAt(shot, 320),
      kWallTop / std::cos(10.0 * M_PI / 180.0) + (240.0 - 240.0 / std::cos(10.0 * M_PI / 180.0)),
      2.0);
  stop();
}

TEST_F(Viewer, theRecordedViewStepFollowsTheDrags) {
  ASSERT_EQ(access(kApitrace, X_OK), 0) << "apitrace is one of the test dependencies";
  const std::string trace = dir_.file("pan.trace");
  start(trace);
  drag(2, {{300, 300}, {350, 200}, {100, 400}});  // middle: nothing
  x_.xdotool("click --repeat 3 4");               // wheel: nothing
  x_.xdotool("click --repeat 2 5");
  std::this_thread::sleep_for(300ms);
  drag(1, {{100, 100}, {115, 110}, {130, 120}});
  drag(3, {{200, 300}, {240, 300}});
  std::this_thread::sleep_for(300ms);
  stop();

  const auto frames = tracedViewSteps(trace);
  ASSERT_GT(frames.size(), 10u);
  // Unmoved: no rotation, a translate by the (negated) zero position, 500 back.
  ASSERT_EQ(frames.front().size(), 2u);
  EXPECT_TRUE(isCall(frames.front()[0], "glTranslatef", {0, 0, 0}));
  EXPECT_TRUE(isCall(frames.front()[1], "glTranslatef", {0, 0, -500}));
  // Rolled 10 degrees after the pan: the inverse roll comes first.
  const auto& last = frames.back();
  ASSERT_EQ(last.size(), 3u);
  EXPECT_TRUE(isCall(last[0], "glRotatef", {-10, 0, 0, -1}));
  EXPECT_TRUE(isCall(last[1], "glTranslatef", {30, -20, 0}));
  EXPECT_TRUE(isCall(last[2], "glTranslatef", {0, 0, -500}));
  // Every frame in between shows one of the steps of the drags: the middle
  // button and the wheel added none of their own.
  for (const auto& frame : frames) {
    ASSERT_GE(frame.size(), 2u);
    EXPECT_TRUE(isCall(frame.back(), "glTranslatef", {0, 0, -500}));
    const TracedCall& position = frame[frame.size() - 2];
    const bool known = isCall(position, "glTranslatef", {0, 0, 0}) ||
                       isCall(position, "glTranslatef", {15, -10, 0}) ||
                       isCall(position, "glTranslatef", {30, -20, 0});
    EXPECT_TRUE(known) << position.args[0] << ", " << position.args[1];
  }
}

}  // namespace
