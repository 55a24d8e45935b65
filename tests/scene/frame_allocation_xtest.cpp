// Steady-state frames of the whole scene make no heap allocation: the real
// application, with both photographs loaded, runs in GLUT's own event loop
// (callbacks through the window registry), and every operator new on the
// main thread is counted from after a warm-up to the end of the run.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <memory>

#include "framework/gluty_registry.h"
#include "scene/billboard.h"
#include "scene/brelvane.h"
#include "tests/scene/photo_files.h"
#include "tests/support/glut_session.h"
#include "tests/support/temp_file.h"
#include "tools/allocation_counter.h"

namespace {

constexpr int kWarmUpFrames = 100;
constexpr int kCountedFrames = 400;

// Arms the counter after the warm-up and leaves the event loop after the
// counted frames; everything else is the real application.
class CountedBrelvane : public Brelvane {
 public:
  using Brelvane::Brelvane;
  void display() override {
    Brelvane::display();
    ++frames;
    if (frames == kWarmUpFrames) {
      allocation_counter::start();
    } else if (frames == kWarmUpFrames + kCountedFrames) {
      allocations = allocation_counter::stop();
      glutLeaveMainLoop();
    }
  }
  int frames = 0;
  long allocations = -1;
};

class FrameAllocationTest : public testsupport::GlutSession {
 protected:
  void SetUp() override {
    GlutSession::SetUp();
    ASSERT_FALSE(folder_.path().empty());
    const scenetest::Quadrants colours{{200, 40, 40}, {40, 200, 40}, {40, 40, 200}, {200, 200, 40}};
    ASSERT_TRUE(scenetest::writeQuadrantBmp(folder_.file("p6155961.bmp"), 512, 512, colours));
    ASSERT_TRUE(scenetest::writeQuadrantBmp(folder_.file("p6155955.bmp"), 512, 512, colours));
    inFolder_ = std::make_unique<testsupport::WorkingFolderScope>(folder_.path());
  }
  void TearDown() override {
    vorn::glutyRegistry::instance()->windows.clear();
    GlutSession::TearDown();
  }

  testsupport::TempFolder folder_{"brelvane-frames"};
  std::unique_ptr<testsupport::WorkingFolderScope> inFolder_;  // left before the folder goes
};

TEST_F(FrameAllocationTest, steadyFramesOfTheWholeSceneAllocateNothing) {
  char name[] = "brelvane";
  char* args[] = {name, nullptr};
  CountedBrelvane app(1, args);
  glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_GLUTMAINLOOP_RETURNS);
  ASSERT_GT(vorn::glutyRegistry::instance()->add(&app, "brelvane-frames"), 0);
  // The frames must be the whole scene, photographs included.
  ASSERT_NE(app.photoUpright, nullptr);
  ASSERT_NE(app.photoFloor, nullptr);
  ASSERT_TRUE(app.photoUpright->loaded);
  ASSERT_TRUE(app.photoFloor->loaded);

  vorn::glutyRegistry::instance()->run(true, true);

  ASSERT_EQ(app.frames, kWarmUpFrames + kCountedFrames) << "the loop ended early";
  EXPECT_EQ(app.allocations, 0) << "allocations in " << kCountedFrames << " steady-state frames";
}

}  // namespace
