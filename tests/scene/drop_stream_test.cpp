// The drop stream's flight and shooting, with made-up clock values and the
// real math: closed-form positions, one shot per tick, skipped ticks, the
// pool's cyclic reuse, speed from the viewport, the emitter's turn.
#include "scene/drop_stream.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using libgr::grVec3;

constexpr float kTolerance = 1e-3f;

void expectNear(const grVec3& actual, const grVec3& expected, float tolerance = kTolerance) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

// v t + G t^2 / 2, worked out here in double.
grVec3 flight(const grVec3& v, double t) {
  return grVec3(static_cast<float>(v.x * t), static_cast<float>(v.y * t - 245.0 * t * t),
                static_cast<float>(v.z * t));
}

// Velocity of a shot at `speed` with the emitter turned `degrees` about +y.
grVec3 shotVelocity(float speed, double degrees) {
  const double a = degrees * M_PI / 180.0;
  return grVec3(static_cast<float>(speed * std::cos(a)), speed,
                static_cast<float>(-speed * std::sin(a)));
}

// The pool as init leaves it, without the sphere's display list (no GL
// here; the list is covered with a real context elsewhere).
class DropStreamFlight : public ::testing::Test {
 protected:
  void SetUp() override { stream.pool.assign(DropStream::kPoolSize, DropState{}); }
  DropStream stream;
};

TEST_F(DropStreamFlight, theFirstAdvanceShootsOneDropFromTheOriginAtHalfTheExtent) {
  EXPECT_EQ(stream.lastTick, DropStream::kNoTick);
  stream.advance(40, 480);  // within the first tick
  EXPECT_EQ(stream.lastTick, 0u);
  EXPECT_EQ(stream.nextIndex, 1u);
  const DropState& shot = stream.pool[0];
  EXPECT_EQ(shot.spawnTime, 40u);
  EXPECT_TRUE(shot.position == 0.0f) << "a drop is at the origin when shot";
  // Angle 0: up and towards +x at 45 degrees.
  expectNear(shot.velocity, grVec3(240, 240, 0));
}

TEST_F(DropStreamFlight, positionsFollowTheClosedFormWhateverTheStepping) {
  stream.advance(0, 480);
  stream.advance(500, 480);  // shoots slot 1
  // Slot 0 half a second in: 120 along x, 120 - 245/4 up.
  expectNear(stream.pool[0].position, grVec3(120.0f, 58.75f, 0.0f));
  stream.advance(1000, 480);
  expectNear(stream.pool[0].position, grVec3(240.0f, -5.0f, 0.0f));
  // Slot 1 was shot at tick 5, turned 125 degrees about +y.
  expectNear(stream.pool[1].position, flight(shotVelocity(240, 125), 0.5), 2e-3f);

  // A stream stepped every millisecond and one stepped only at the ticks
  // shoot at the same times and then agree on every position.
  DropStream everyMs, atTicks;
  everyMs.pool.assign(DropStream::kPoolSize, DropState{});
  atTicks.pool.assign(DropStream::kPoolSize, DropState{});
  for (uint32_t now = 0; now <= 2345; ++now) everyMs.advance(now, 480);
  for (uint32_t now = 0; now <= 2300; now += 100) atTicks.advance(now, 480);
  atTicks.advance(2345, 480);
  ASSERT_EQ(everyMs.nextIndex, atTicks.nextIndex);
  for (size_t i = 0; i < DropStream::kPoolSize; ++i) {
    EXPECT_EQ(everyMs.pool[i].position, atTicks.pool[i].position) << "slot " << i;
    EXPECT_EQ(everyMs.pool[i].velocity, atTicks.pool[i].velocity) << "slot " << i;
  }
}

TEST_F(DropStreamFlight, eachShotTurnsTheDirectionBy25DegreesAboutTheVertical) {
  for (uint32_t tick = 0; tick < 20; ++tick) stream.advance(tick * 100, 480);
  for (uint32_t slot = 0; slot < 20; ++slot)
    expectNear(stream.pool[slot].velocity, shotVelocity(240, slot * 25.0), 2e-3f);
  // 14.4 shots a turn: the 15th shot (350 degrees) falls 10 degrees short of
  // the first one's direction.
  expectNear(stream.pool[14].velocity, shotVelocity(240, -10.0), 2e-3f);
}

TEST_F(DropStreamFlight, atMostOneShotPerTickAndMissedTicksAreSkipped) {
  stream.advance(100, 480);
  stream.advance(150, 480);
  stream.advance(199, 480);
  EXPECT_EQ(stream.nextIndex, 1u) << "three calls in one tick shoot once";
  EXPECT_EQ(stream.pool[0].spawnTime, 100u);
  EXPECT_TRUE(stream.pool[1].velocity == 0.0f);

  stream.advance(200, 480);
  EXPECT_EQ(stream.nextIndex, 2u);

  stream.advance(950, 480);  // ticks 3 to 8 missed; one shot for tick 9
  EXPECT_EQ(stream.nextIndex, 3u);
  EXPECT_EQ(stream.lastTick, 9u);
  EXPECT_EQ(stream.pool[2].spawnTime, 950u);
  expectNear(stream.pool[2].velocity, shotVelocity(240, 225.0), 2e-3f);
  EXPECT_TRUE(stream.pool[3].velocity == 0.0f);
}

TEST_F(DropStreamFlight, theHundredAndFirstShotReusesSlotZeroEvenInFlight) {
  for (uint32_t tick = 0; tick < 100; ++tick) stream.advance(tick * 100, 480);
  EXPECT_EQ(stream.nextIndex, 0u);
  stream.advance(10000, 640);
  EXPECT_EQ(stream.nextIndex, 1u);
  EXPECT_EQ(stream.pool[0].spawnTime, 10000u);
  EXPECT_TRUE(stream.pool[0].position == 0.0f);
  // Tick 100 turns 2500 degrees, i.e. 340; speed from the new extent.
  expectNear(stream.pool[0].velocity, shotVelocity(320, 340.0), 2e-3f);
  EXPECT_EQ(stream.pool[1].spawnTime, 100u) << "slot 1 untouched";
}

TEST_F(DropStreamFlight, aDropShotThisMillisecondStaysAtTheOrigin) {
  stream.advance(300, 480);
  stream.advance(300, 480);  // same millisecond: t = 0
  EXPECT_TRUE(stream.pool[0].position == 0.0f);
  stream.advance(301, 480);
  EXPECT_FALSE(stream.pool[0].position == 0.0f);
  expectNear(stream.pool[0].position, flight(shotVelocity(240, 75.0), 0.001));  // tick 3
}

TEST_F(DropStreamFlight, speedIsHalfTheExtentReadAtEachShot) {
  stream.advance(0, 480);
  stream.advance(100, 1001);
  stream.advance(200, 0);
  expectNear(stream.pool[0].velocity, grVec3(240, 240, 0));
  expectNear(stream.pool[1].velocity, shotVelocity(500.5f, 25.0), 2e-3f);
  EXPECT_TRUE(stream.pool[2].velocity == 0.0f) << "an empty viewport shoots a still drop";
  // Drops in flight keep their velocity: slot 0 one second after its shot.
  stream.advance(1000, 2000);
  expectNear(stream.pool[0].position, grVec3(240.0f, -5.0f, 0.0f));
}

TEST_F(DropStreamFlight, dropsVanishOnce128UnitsBelowTheOrigin) {
  stream.advance(0, 480);
  // 240 t - 245 t^2 = -128 at t = (240 + sqrt(240^2 + 4 * 245 * 128)) / 490.
  const double vanish = (240.0 + std::sqrt(240.0 * 240.0 + 4.0 * 245.0 * 128.0)) / 490.0;
  const auto justBefore = static_cast<uint32_t>(std::floor(vanish * 1000.0));
  stream.advance(justBefore, 480);
  EXPECT_GT(stream.pool[0].position.y, -128.0f);
  EXPECT_NEAR(stream.pool[0].position.x, 240.0 * justBefore / 1000.0, 1e-2);
  stream.advance(justBefore + 1, 480);
  EXPECT_TRUE(stream.pool[0].position == 0.0f);
  // ...and stays hidden on every later call until the slot is reused.
  stream.advance(justBefore + 500, 480);
  EXPECT_TRUE(stream.pool[0].position == 0.0f);
}

TEST_F(DropStreamFlight, unusedSlotsFallTogetherFromTheOriginThenVanish) {
  stream.advance(500, 480);  // shoots slot 0; slots 1 to 99 are as init left them
  for (size_t i = 1; i < DropStream::kPoolSize; ++i)
    expectNear(stream.pool[i].position, grVec3(0.0f, -61.25f, 0.0f));
  stream.advance(723, 480);  // 245 t^2 passes 128 at about 0.7228 s
  for (size_t i = 2; i < DropStream::kPoolSize; ++i)
    EXPECT_TRUE(stream.pool[i].position == 0.0f) << "slot " << i;
}

TEST_F(DropStreamFlight, flightTimeIsRightAcrossTheClockWrap) {
  const uint32_t beforeWrap = 0xFFFFFF9Cu;  // 100 ms before the wrap
  stream.advance(beforeWrap, 480);
  stream.advance(beforeWrap + 200u, 480);  // wraps to 100
  // Tick 42,949,671 turns 1,073,741,775 degrees, i.e. 15.
  expectNear(stream.pool[0].position, flight(shotVelocity(240, 15.0), 0.2));
  EXPECT_EQ(stream.nextIndex, 2u) << "the wrapped clock is a new tick";
}

TEST_F(DropStreamFlight, theEmitterKeepsTurning25DegreesAfterWeeksOfRunning) {
  // Tick 17,280,000 (20 days) is a whole number of turns (72 ticks = 5 turns):
  // the shot goes the way of the very first one, and the next turns 25 more.
  const uint32_t twentyDays = 17280000u * 100u;
  stream.advance(twentyDays, 480);
  stream.advance(twentyDays + 100u, 480);
  expectNear(stream.pool[0].velocity, grVec3(240, 240, 0), 2e-3f);
  expectNear(stream.pool[1].velocity, shotVelocity(240, 25.0), 2e-3f);
  EXPECT_GE(stream.emitRotation.angle, 0.0f);
  EXPECT_LT(stream.emitRotation.angle, 360.0f);
}

TEST(DropStreamBeforeInit, advanceAndDrawDoNothingWithoutAPool) {
  DropStream stream;
  stream.advance(100, 480);
  stream.advance(250, 480);
  EXPECT_TRUE(stream.pool.empty());
  EXPECT_EQ(stream.nextIndex, 0u);
  stream.draw();  // nothing to draw, and no list: no GL call either
}

}  // namespace
