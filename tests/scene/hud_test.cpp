// The on-screen text's frame counter across clock seconds: plain arithmetic
// on the counter's globals, no GL.
#include <gtest/gtest.h>

#include <cstdint>

#include "scene/hud.h"

namespace {

class HudFrameCounter : public ::testing::Test {
 protected:
  void SetUp() override {
    hudFrameCount = 0;
    hudLastSecond = 0;
    hudFps = 0;
  }
};

TEST_F(HudFrameCounter, theFirstFrameRollsOverAtOnce) {
  hudCountFrameAt(7'654'321);
  EXPECT_EQ(hudFps, 1u);
  EXPECT_EQ(hudFrameCount, 0u);
  EXPECT_EQ(hudLastSecond, 7654u);
}

TEST_F(HudFrameCounter, framesOfASecondAreReportedInTheNext) {
  hudCountFrameAt(10'000);                                                // rolls over: second 10
  for (uint32_t ms = 10'010; ms < 11'000; ms += 10) hudCountFrameAt(ms);  // 99 frames
  EXPECT_EQ(hudFps, 1u) << "reported before the second ended";
  EXPECT_EQ(hudFrameCount, 99u);
  // The frame that crosses into second 11 counts in the second that ends.
  hudCountFrameAt(11'000);
  EXPECT_EQ(hudFps, 100u);
  EXPECT_EQ(hudFrameCount, 0u);
  EXPECT_EQ(hudLastSecond, 11u);
  for (uint32_t ms = 11'500; ms < 12'000; ms += 100) hudCountFrameAt(ms);  // 5 frames
  hudCountFrameAt(12'000);
  EXPECT_EQ(hudFps, 6u);
}

TEST_F(HudFrameCounter, aGapOfSecondsReportsTheFramesSinceTheLastRollOver) {
  hudCountFrameAt(20'000);
  hudCountFrameAt(20'100);
  hudCountFrameAt(20'200);
  hudCountFrameAt(26'000);  // nothing for almost six seconds
  EXPECT_EQ(hudFps, 3u) << "not 0: the frames since the previous roll-over, this one included";
  EXPECT_EQ(hudLastSecond, 26u);
}

TEST_F(HudFrameCounter, followsTheClockSecondAcrossTheWrap) {
  hudCountFrameAt(4'294'967'000u);  // second 4294967
  hudCountFrameAt(4'294'967'295u);
  hudCountFrameAt(5u);  // wrapped: second 0 differs
  EXPECT_EQ(hudFps, 2u);
  EXPECT_EQ(hudLastSecond, 0u);
}

}  // namespace
