// The drop stream: pool set-up, closed-form flight, one shot per tick, and
// drawing through the sphere's display list.
#include "scene/drop_stream.h"

#include <GL/freeglut.h>

#include "graphics/gl_wrappers.h"
#include "math/matrix.h"
#include "scene/gl_scopes.h"

namespace {

// The emitter's angle for a tick, in degrees within [0, 360). tick * 25 turns
// the same way, but as a float it loses whole degrees after about a day of
// running (and tens of degrees after a few weeks), so it is reduced exactly,
// in integers, first.
float emitAngleForTick(uint32_t tick) {
  const uint64_t degrees = static_cast<uint64_t>(tick) * DropStream::kDegreesPerTick;
  return static_cast<float>(degrees % 360u);
}

}  // namespace

void Drop::render() {
  glColor4f(0.0f, 1.0f, 1.0f, 0.5f);
  glutSolidSphere(10.0, 10, 10);
}

void DropStream::init() {
  // assign() both sizes a fresh pool and zeroes one from an earlier init
  // without reallocating it.
  pool.assign(kPoolSize, DropState{});
  nextIndex = 0;
  dropList.compile(&dropShape);
}

void DropStream::advance(uint32_t now, uint32_t extent) {
  static constexpr libgr::grVec3 halfGravity{0.0f, kGravity * 0.5f, 0.0f};
  for (DropState& s : pool) {
    // Unsigned difference: stays right across the clock's wrap.
    const float t = static_cast<float>(static_cast<double>(now - s.spawnTime) * 0.001);
    // v t + G t^2 / 2
    s.position = (s.velocity + halfGravity * t) * t;
    if (s.position.y < kVanishDepth) s.position = libgr::grZeroVec3;
  }

  const uint32_t tick = now / kTickMilliseconds;
  if (tick == lastTick) return;
  // Before init there is no pool to shoot from (and no size to cycle by).
  if (pool.empty()) return;
  lastTick = tick;

  emitRotation.angle = emitAngleForTick(tick);
  const float speed = static_cast<float>(extent) * 0.5f;

  DropState& s = pool[nextIndex];
  nextIndex = static_cast<uint32_t>((nextIndex + 1) % pool.size());
  s.spawnTime = now;
  s.position = libgr::grZeroVec3;  // first drawn after the next advance
  // At angle 0: up and towards +x at 45 degrees.
  s.velocity = libgr::transformPoint(libgr::grVec3(speed, speed, 0.0f),
                                     libgr::matrixFromRotation(emitRotation));
}

void DropStream::draw() {
  for (const DropState& s : pool) {
    if (s.position == 0.0f) continue;
    scenegl::MatrixScope matrix;
    libgr::grTranslate(s.position);
    dropList.render();
  }
}
