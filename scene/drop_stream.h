#pragma once
// The drop stream: translucent cyan spheres shot from the scene's origin once
// per 100 ms tick, each along a direction turned 25 degrees further about the
// vertical axis, falling under gravity and vanishing 128 units below the
// origin. Drops are plain records in a fixed pool reused in cyclic order, all
// drawn with one display list holding the sphere. Positions are a closed form
// of the time since the shot, so they do not depend on how often advance runs.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "graphics/drawable.h"
#include "math/rotation.h"
#include "math/vector.h"

// The shape of one drop: a translucent cyan sphere of radius 10.
class Drop : public libgr::grObject3D {
 public:
  ~Drop() override = default;
  // Needs GLUT initialised (glutSolidSphere).
  void render() override;
};

// One drop. A position of exactly (0, 0, 0) marks a drop that is not drawn.
struct DropState {
  uint32_t spawnTime = 0;  // the application's elapsed milliseconds at the shot
  libgr::grVec3 position;  // relative to the stream's origin
  libgr::grVec3 velocity;  // initial velocity, units per second
};

class DropStream {
 public:
  static constexpr size_t kPoolSize = 100;
  static constexpr uint32_t kTickMilliseconds = 100;
  static constexpr uint32_t kDegreesPerTick = 25;
  static constexpr float kGravity = -490.0f;      // units per second squared, along y
  static constexpr float kVanishDepth = -128.0f;  // drops below this are hidden
  // lastTick before the first shot: no tick (elapsed / 100) ever equals it, so
  // the very first advance shoots, even within the first 100 ms.
  static constexpr uint32_t kNoTick = 0xFFFFFFFFu;

  DropStream() = default;  // no GL call
  DropStream(const DropStream&) = delete;
  DropStream& operator=(const DropStream&) = delete;

  // Needs the GL context (and GLUT for the sphere): fills the pool with 100
  // zeroed drops and records the sphere into dropList. The only allocation
  // the stream ever makes.
  void init();
  // Moves every drop to its place at `now` (milliseconds since the
  // application started) and, on a tick not seen before, shoots one drop at
  // half of `extent` (the smaller viewport side) units per second. Missed
  // ticks are skipped: at most one shot per call.
  void advance(uint32_t now, uint32_t extent);
  // One push, translate, list call and pop per shown drop, in pool order.
  void draw();

  uint32_t lastTick = kNoTick;                             // tick of the last shot
  libgr::grRotation emitRotation{0.0f, 0.0f, 1.0f, 0.0f};  // turns the shots about +y
  std::vector<DropState> pool;                             // kPoolSize entries after init
  uint32_t nextIndex = 0;                                  // pool slot of the next shot
  libgr::grDspList dropList;                               // dropShape's drawing
  Drop dropShape;
};
