// The 32-bit millisecond clock: the right clock and unit, and differences
// that survive the wrap.
#include "utilities/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using libutils::millisecondsBetween;
using libutils::monotonicMilliseconds;

uint32_t steadyMilliseconds() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

TEST(Clock, readsTheMonotonicClockInMillisecondsTruncatedTo32Bits) {
  // steady_clock is CLOCK_MONOTONIC on Linux: our reading must fall between
  // two of its readings, compared modulo 2^32.
  const uint32_t before = steadyMilliseconds();
  const uint32_t ours = monotonicMilliseconds();
  const uint32_t after = steadyMilliseconds();
  EXPECT_LE(millisecondsBetween(before, ours), millisecondsBetween(before, after));
  EXPECT_LE(millisecondsBetween(ours, after), millisecondsBetween(before, after));
}

TEST(Clock, neverGoesBackwardsAndAdvancesWithTime) {
  uint32_t previous = monotonicMilliseconds();
  for (int i = 0; i < 100000; ++i) {
    const uint32_t now = monotonicMilliseconds();
    // A step backwards would show as a huge modular difference.
    ASSERT_LT(millisecondsBetween(previous, now), 1000u) << "at reading " << i;
    previous = now;
  }
  const uint32_t start = monotonicMilliseconds();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  const uint32_t waited = millisecondsBetween(start, monotonicMilliseconds());
  EXPECT_GE(waited, 30u);
  EXPECT_LT(waited, 30000u) << "not milliseconds";
}

TEST(Clock, differencesStayCorrectAcrossTheWrap) {
  EXPECT_EQ(millisecondsBetween(0xFFFFFF00u, 0x00000100u), 0x200u);
  EXPECT_EQ(millisecondsBetween(0xFFFFFFFFu, 0u), 1u);
  EXPECT_EQ(millisecondsBetween(4294967000u, 1704u), 2000u);
  // Ordinary differences, and none at all.
  EXPECT_EQ(millisecondsBetween(1000u, 3500u), 2500u);
  EXPECT_EQ(millisecondsBetween(77u, 77u), 0u);
  // Adding an interval and taking the difference round-trips at any origin.
  for (uint32_t origin : {0u, 0x7FFFFFFFu, 0xFFFFFC18u, 0xFFFFFFFFu})
    EXPECT_EQ(millisecondsBetween(origin, origin + 123456u), 123456u) << origin;
}

}  // namespace
