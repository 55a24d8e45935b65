// The drop stream in the real program on a private Xvfb: translucent cyan
// drops on screen, about as many as are in flight at once, spread around
// the fountain's origin and never higher than gravity lets them rise.
// The program runs without photographs, so every non-background pixel in
// the scene's middle is a drop.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/e2e/running_program.h"
#include "tests/support/x_session.h"

namespace {

using namespace std::chrono_literals;
using e2e::LaunchedProgram;
using testsupport::Screenshot;
using testsupport::TempFolder;
using testsupport::windowPixel;
using testsupport::XSession;

// Half-transparent cyan over the dark grey keeps half the grey in red
// (about 23) and brings green and blue up together.
bool isDrop(const std::array<int, 3>& rgb) {
  return rgb[1] > rgb[0] + 30 && std::abs(rgb[1] - rgb[2]) <= 3;
}

struct DropPixels {
  std::vector<std::pair<int, int>> at;  // window coordinates
  std::map<int, int> reds;              // red value -> count
  int brightestGreen = 0;
};

// Drop pixels of the window, skipping the two text lines' rows.
DropPixels dropPixels(const Screenshot& shot) {
  DropPixels drops;
  for (int y = 16; y < 460; ++y)
    for (int x = 0; x < 640; ++x) {
      const auto root = windowPixel(x, y);
      if (root[0] < 0 || root[1] < 0) continue;
      const auto rgb = shot.at(root[0], root[1]);
      if (!isDrop(rgb)) continue;
      drops.at.emplace_back(x, y);
      ++drops.reds[rgb[0]];
      drops.brightestGreen = std::max(drops.brightestGreen, rgb[1]);
    }
  return drops;
}

// Separate blobs (4-connected): drops that do not overlap on screen.
int blobs(const std::vector<std::pair<int, int>>& pixels) {
  std::set<std::pair<int, int>> left(pixels.begin(), pixels.end());
  int count = 0;
  while (!left.empty()) {
    ++count;
    std::vector<std::pair<int, int>> stack = {*left.begin()};
    left.erase(left.begin());
    while (!stack.empty()) {
      const auto [x, y] = stack.back();
      stack.pop_back();
      for (const auto& next : {std::pair{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}}) {
        auto it = left.find(next);
        if (it == left.end()) continue;
        left.erase(it);
        stack.push_back(next);
      }
    }
  }
  return count;
}

TEST(Drops, translucentCyanDropsFlyAroundTheOriginAndFallBack) {
  const std::string binary = e2e::binaryDir() + "/brelvane";
  ASSERT_EQ(access(binary.c_str(), X_OK), 0) << binary << " (BRELVANE_BINARY_DIR)";
  XSession x;
  TempFolder dir;  // no photographs: only drops and text
  LaunchedProgram program(x, binary, dir.path());
  const std::string window = x.waitWindow(binary, 15s);
  ASSERT_FALSE(window.empty());
  std::this_thread::sleep_for(1500ms);  // past the first drops' flight

  std::vector<std::pair<int, int>> all;
  std::map<int, int> reds;
  int brightest = 0;
  std::vector<int> blobCounts;
  for (int shot = 0; shot < 6; ++shot) {
    const DropPixels drops = dropPixels(x.screenshot());
    blobCounts.push_back(blobs(drops.at));
    all.insert(all.end(), drops.at.begin(), drops.at.end());
    for (const auto& [red, count] : drops.reds) reds[red] += count;
    brightest = std::max(brightest, drops.brightestGreen);
    std::this_thread::sleep_for(230ms);
  }
  ASSERT_FALSE(all.empty()) << "no cyan on screen";

  // Colour: half the background in red (46 / 2) for most drop pixels;
  // shaded sides are about (23, 72, 72), lit tops (23, 150, 150) and more
  // where the highlight is.
  const auto mostCommonRed = std::max_element(reds.begin(), reds.end(),
                                              [](auto& a, auto& b) { return a.second < b.second; });
  EXPECT_NEAR(mostCommonRed->first, 23, 2);
  EXPECT_GE(brightest, 140) << "no drop lit from above";

  // About 14 drops are in flight; some overlap on screen or have left it
  // at the bottom.
  for (int count : blobCounts) {
    EXPECT_GE(count, 6);
    EXPECT_LE(count, 16);
  }
  int sum = 0;
  for (int count : blobCounts) sum += count;
  EXPECT_GE(sum, 9 * 6) << "fewer drops than the stream keeps in flight";

  // Spread: around the origin (the window's centre) on both sides, up to
  // about 327 units out; never higher than the 58.8 units a shot rises,
  // which even the nearest peaks (383 units away) put below row 168.
  int minX = 640, maxX = 0, minY = 480;
  for (const auto& [px, py] : all) {
    minX = std::min(minX, px);
    maxX = std::max(maxX, px);
    minY = std::min(minY, py);
  }
  EXPECT_LT(minX, 200);
  EXPECT_GT(maxX, 440);
  EXPECT_GE(minY, 160);
  EXPECT_LT(minY, 200) << "the drops do not rise";

  x.xdotool("mousemove --window " + window + " 320 240");
  x.xdotool("key --window " + window + " q");
  EXPECT_EQ(program.waitExit(15s), std::optional<int>(0));
}

}  // namespace
