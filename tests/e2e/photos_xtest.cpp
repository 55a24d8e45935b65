// The photographs in the real program: run in a scratch directory holding
// photographs of four flat quadrants each, the wall and the floor show every
// quadrant in its colour where the perspective puts it (so orientation and
// channel order are checked on screen), the floor lit from above and the
// wall by the ambient light only; a missing, truncated or foreign file
// leaves the program running with just that photograph absent.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/scene/photo_files.h"
#include "tests/support/temp_file.h"
#include "tests/support/x_session.h"

namespace {

using namespace std::chrono_literals;
using scenetest::Quadrants;
using scenetest::Rgb;
using testsupport::Screenshot;
using testsupport::XSession;

const char kWallFile[] = "p6155961.bmp";
const char kFloorFile[] = "p6155955.bmp";

// Saturated colours, told apart also after the wall's dimming; none is cyan,
// the colour of the drops.
const Quadrants kWall{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}};
const Quadrants kFloor{{255, 0, 255}, {255, 128, 0}, {255, 255, 255}, {128, 0, 255}};

const Rgb kBackground{46, 46, 46};  // clear colour 0.18

// Lit colour factors, measured on screen, must show light from above: the
// wall faces +z, edge-on to the light from +y, and only ambient light (the
// light's 0.18 and GL's default global 0.2, times the material) reaches it;
// the floor faces the light and gets its full diffuse part besides.
constexpr double kMaxAmbientFactor = 0.38 + 0.04;
constexpr double kMinFloorFactor = 0.6;

// Window pixel of a scene point for the program's starting view: eye 500
// units in front of the origin, looking down -z; a 640 x 480 window; a
// diagonal angle of view of 90 degrees at aspect 4/3, so at distance d the
// half-height of the view is d * tan(45 deg) / sqrt(aspect^2 + 1) = 0.6 d.
struct WindowPoint {
  int x, y;
};
WindowPoint project(double x, double y, double z) {
  const double distance = 500.0 - z;
  const double halfHeight = 0.6 * distance;
  const double halfWidth = 0.8 * distance;
  return {int(std::lround(320.0 + 320.0 * x / halfWidth)),
          int(std::lround(240.0 - 240.0 * y / halfHeight))};
}

// Quadrant centres in each photograph's own plane, 512 units square.
constexpr double kCentre = 128.0;

// The floor lies at y = -256; its own +y points to -z (its top edge meets
// the wall). Its near half is partly below the window's bottom edge, so its
// bottom quadrants are sampled 36 units in front of the middle line.
WindowPoint onWall(double u, double v) { return project(u, v, -256.0); }
WindowPoint onFloor(double u, double v) { return project(u, -256.0, -v); }

Rgb scaled(const Rgb& c, double factor) {
  Rgb out;
  for (int i = 0; i < 3; ++i) out[i] = std::min(255, int(std::lround(c[i] * factor)));
  return out;
}

class PhotosTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* binaryDir = getenv("BRELVANE_BINARY_DIR");
    ASSERT_NE(binaryDir, nullptr) << "run under CTest, which names the build directory";
    program = std::string(binaryDir) + "/brelvane";
    ASSERT_TRUE(std::filesystem::exists(program)) << program;
    ASSERT_FALSE(folder.path().empty());
  }
  void TearDown() override {
    if (pid > 0 && !XSession::waitExit(pid, 0ms)) XSession::kill(pid);
  }

  std::string path(const char* name) const { return folder.file(name); }

  // Starts the program in the scratch directory and waits for a few frames.
  void start() {
    pid = x.launch({program}, folder.path());
    ASSERT_GT(pid, 0);
    window = x.waitWindow(program, 10s);
    ASSERT_FALSE(window.empty()) << "no window titled " << program;
    std::this_thread::sleep_for(1500ms);
    shot = x.screenshot();
    ASSERT_GE(shot.width, 640);
    // A second look once the drops have moved on: a box that drops happen
    // to cross in one shot is clear in the other.
    std::this_thread::sleep_for(350ms);
    later = x.screenshot();
  }

  // Most of a small box around a window point has the colour (the drops in
  // front may cover a little of it).
  ::testing::AssertionResult shows(WindowPoint p, const Rgb& colour, int halfWidth = 12,
                                   int halfHeight = 8) const {
    const auto root = testsupport::windowPixel(p.x, p.y);
    double fraction = 0;
    for (const Screenshot* s : {&shot, &later})
      if (s->width >= 640)
        fraction = std::max(fraction, s->fractionNear(root[0] - halfWidth, root[1] - halfHeight,
                                                      root[0] + halfWidth, root[1] + halfHeight,
                                                      {colour[0], colour[1], colour[2]}, 14));
    if (fraction >= 0.6) return ::testing::AssertionSuccess();
    const auto mean = shot.mean(root[0] - halfWidth, root[1] - halfHeight, root[0] + halfWidth,
                                root[1] + halfHeight);
    return ::testing::AssertionFailure()
           << "at window (" << p.x << ", " << p.y << ") only " << fraction << " near (" << colour[0]
           << ", " << colour[1] << ", " << colour[2] << "); mean (" << mean[0] << ", " << mean[1]
           << ", " << mean[2] << ")";
  }

  // How much of a photograph colour's strongest channel reaches the screen
  // around a window point: the median over a small box, so a drop passing in
  // front does not sway it.
  double litFactor(WindowPoint p, const Rgb& colour, int halfWidth = 12, int halfHeight = 8) const {
    const int channel = int(std::max_element(colour.begin(), colour.end()) - colour.begin());
    const auto root = testsupport::windowPixel(p.x, p.y);
    std::vector<int> values;
    for (int y = root[1] - halfHeight; y < root[1] + halfHeight; ++y)
      for (int x = root[0] - halfWidth; x < root[0] + halfWidth; ++x)
        values.push_back(shot.at(x, y)[channel]);
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2] / double(colour[channel]);
  }

  // Every quadrant in its own colour, all dimmed alike; returns the factor.
  double expectWall(const Quadrants& q) const {
    const double factor = litFactor(onWall(-kCentre, kCentre), q.topLeft);
    EXPECT_GT(factor, 0.1) << "the wall is missing or black";
    EXPECT_LT(factor, kMaxAmbientFactor) << "the wall gets more than ambient light";
    const Rgb wall[4] = {scaled(q.topLeft, factor), scaled(q.topRight, factor),
                         scaled(q.bottomLeft, factor), scaled(q.bottomRight, factor)};
    EXPECT_TRUE(shows(onWall(-kCentre, kCentre), wall[0])) << "wall, top-left";
    EXPECT_TRUE(shows(onWall(kCentre, kCentre), wall[1])) << "wall, top-right";
    EXPECT_TRUE(shows(onWall(-kCentre, -kCentre), wall[2])) << "wall, bottom-left";
    EXPECT_TRUE(shows(onWall(kCentre, -kCentre), wall[3])) << "wall, bottom-right";
    return factor;
  }
  double expectFloor(const Quadrants& q) const {
    const double factor = litFactor(onFloor(-kCentre, kCentre), q.topLeft);
    EXPECT_GT(factor, kMinFloorFactor) << "the floor is not lit from above";
    EXPECT_TRUE(shows(onFloor(-kCentre, kCentre), scaled(q.topLeft, factor))) << "floor, far left";
    EXPECT_TRUE(shows(onFloor(kCentre, kCentre), scaled(q.topRight, factor))) << "floor, far right";
    EXPECT_TRUE(shows(onFloor(-kCentre, -36.0), scaled(q.bottomLeft, factor), 12, 5))
        << "floor, near left";
    EXPECT_TRUE(shows(onFloor(kCentre, -36.0), scaled(q.bottomRight, factor), 12, 5))
        << "floor, near right";
    return factor;
  }
  void expectNoWall() const {
    for (double u : {-kCentre, kCentre})
      for (double v : {-kCentre, kCentre})
        EXPECT_TRUE(shows(onWall(u, v), kBackground)) << "wall at (" << u << ", " << v << ")";
  }
  void expectNoFloor() const {
    for (double u : {-kCentre, kCentre}) {
      EXPECT_TRUE(shows(onFloor(u, kCentre), kBackground)) << "floor at (" << u << ", far)";
      EXPECT_TRUE(shows(onFloor(u, -36.0), kBackground, 12, 5)) << "floor at (" << u << ", near)";
    }
  }

  // The program still answers, then ends with status 0 on 'q'.
  void expectRunningThenQuits() {
    ASSERT_FALSE(XSession::waitExit(pid, 0ms)) << "the program ended by itself";
    EXPECT_FALSE(x.xdotool("getwindowgeometry " + window).empty());
    x.xdotool("mousemove --window " + window + " 320 240");
    std::this_thread::sleep_for(200ms);
    x.xdotool("key --window " + window + " q");
    const auto status = XSession::waitExit(pid, 10s);
    ASSERT_TRUE(status.has_value()) << "no exit after 'q'";
    EXPECT_EQ(*status, 0);
    pid = -1;
  }

  XSession x;
  std::string program;
  testsupport::TempFolder folder{"photos"};
  pid_t pid = -1;
  std::string window;
  Screenshot shot, later;
};

TEST_F(PhotosTest, wallAndFloorShowEachQuadrantInPlace) {
  ASSERT_TRUE(scenetest::writeQuadrantBmp(path(kWallFile), 256, 256, kWall));
  ASSERT_TRUE(scenetest::writeQuadrantBmp(path(kFloorFile), 200, 200, kFloor));
  start();
  const double wallFactor = expectWall(kWall);
  const double floorFactor = expectFloor(kFloor);
  EXPECT_GT(floorFactor, 2.0 * wallFactor) << "the light comes from above";
  // Left and right of the wall, above the floor: nothing but background.
  EXPECT_TRUE(shows(onWall(-300.0, 0.0), kBackground)) << "left of the wall";
  EXPECT_TRUE(shows(onWall(300.0, 0.0), kBackground)) << "right of the wall";
  expectRunningThenQuits();
}

TEST_F(PhotosTest, missingWallPhotographLeavesOnlyTheFloor) {
  ASSERT_TRUE(scenetest::writeQuadrantBmp(path(kFloorFile), 64, 64, kFloor));
  start();
  expectNoWall();
  expectFloor(kFloor);
  expectRunningThenQuits();
}

TEST_F(PhotosTest, truncatedFloorPhotographLeavesOnlyTheWall) {
  ASSERT_TRUE(scenetest::writeQuadrantBmp(path(kWallFile), 64, 64, kWall));
  ASSERT_TRUE(scenetest::writeTruncatedBmp(path(kFloorFile), kFloor));
  start();
  expectWall(kWall);
  expectNoFloor();
  expectRunningThenQuits();
}

TEST_F(PhotosTest, foreignFilesShowNeitherPhotograph) {
  ASSERT_TRUE(scenetest::writeNotABmp(path(kWallFile)));
  ASSERT_TRUE(scenetest::writeNotABmp(path(kFloorFile)));
  start();
  expectNoWall();
  expectNoFloor();
  expectRunningThenQuits();
}

}  // namespace
