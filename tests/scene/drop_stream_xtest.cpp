// The drop stream on a real GL context with GLUT (for the sphere): what init
// records into the display list, what draw issues per shown drop, what the
// replayed list puts on screen, and that nothing is allocated after init.
#include "scene/drop_stream.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "tests/support/call_order.h"
#include "tests/support/gl_context.h"
#include "tests/support/gl_recorder.h"
#include "tests/support/glut_session.h"
#include "tools/allocation_counter.h"

namespace {

using testsupport::CallRecorder;
using testsupport::glCall;
using testsupport::inOrder;
using testsupport::OffscreenTarget;

class DropStreamGL : public testsupport::GlutSession {
 protected:
  void SetUp() override {
    GlutSession::SetUp();
    glutInitWindowSize(64, 64);
    glutCreateWindow("drops");  // for its GL context; drawing goes off screen
  }
  // Steps the stream at every tick from 0 to `until` ms, then at `until`.
  void runUntil(uint32_t until, uint32_t extent = 480) {
    for (uint32_t now = 0; now < until; now += 100) stream.advance(now, extent);
    stream.advance(until, extent);
  }
  size_t shownDrops() const {
    size_t shown = 0;
    for (const DropState& s : stream.pool) shown += !(s.position == 0.0f);
    return shown;
  }

  DropStream stream;
};

TEST_F(DropStreamGL, initRecordsOneCyanSphereIntoOneListWithoutDrawingIt) {
  OffscreenTarget target(40, 40);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);

  CallRecorder rec;
  stream.init();
  rec.stop();
  ASSERT_TRUE(stream.dropList.isCompiled());
  const GLuint list = stream.dropList.name();
  EXPECT_TRUE(glIsList(list));
  EXPECT_EQ(rec.count("glGenLists"), 1u);
  EXPECT_TRUE(inOrder(rec.calls(), {glCall("glNewList", list, GLenum(GL_COMPILE)),
                                    glCall("glColor4f", 0.0f, 1.0f, 1.0f, 0.5f),
                                    glCall("glutSolidSphere", 10.0, 10, 10), glCall("glEndList")}));
  EXPECT_EQ(target.pixel(20, 20), (std::array<uint8_t, 4>{0, 0, 0, 255})) << "compiled, not drawn";

  ASSERT_EQ(stream.pool.size(), DropStream::kPoolSize);
  for (const DropState& s : stream.pool) {
    EXPECT_EQ(s.spawnTime, 0u);
    EXPECT_TRUE(s.position == 0.0f);
    EXPECT_TRUE(s.velocity == 0.0f);
  }

  // Replayed one pixel per unit: a sphere of radius 10, half-transparent
  // cyan. Without depth test both its near and far sides blend over the
  // black: 255 * (1/2 + 1/4) = 191 in green and blue.
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-20, 20, -20, 20, -20, 20);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  stream.dropList.render();
  glDisable(GL_BLEND);
  const auto centre = target.pixel(20, 20);
  EXPECT_EQ(centre[0], 0);
  EXPECT_NEAR(centre[1], 191, 2);
  EXPECT_NEAR(centre[2], 191, 2);
  EXPECT_NEAR(target.pixel(28, 20)[1], 191, 2) << "inside the radius";
  EXPECT_EQ(target.pixel(32, 20)[1], 0) << "outside the radius";
  EXPECT_EQ(target.pixel(20, 32)[1], 0) << "outside the radius";
}

TEST_F(DropStreamGL, drawTranslatesAndCallsTheListOncePerShownDrop) {
  stream.init();
  runUntil(3000);  // shoots slot 30 at exactly 3000: t = 0, not shown
  const size_t shown = shownDrops();
  // A drop is in flight for about 1.36 s: 13 or 14 of them at a time.
  EXPECT_GE(shown, 13u);
  EXPECT_LE(shown, 14u);
  EXPECT_TRUE(stream.pool[30].position == 0.0f);

  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(1, 2, 3);
  std::array<GLfloat, 16> before{}, after{};
  glGetFloatv(GL_MODELVIEW_MATRIX, before.data());

  CallRecorder rec;
  stream.draw();
  rec.stop();

  const GLuint list = stream.dropList.name();
  EXPECT_EQ(rec.count("glTranslatef"), shown);
  EXPECT_EQ(rec.count("glCallList"), shown);
  EXPECT_EQ(rec.count("glPushMatrix"), shown);
  EXPECT_EQ(rec.count("glPopMatrix"), shown);
  EXPECT_EQ(rec.calls().size(), 4 * shown) << rec.dump();
  // Pool order, one push / translate / call / pop each.
  std::vector<std::string> expected;
  for (const DropState& s : stream.pool) {
    if (s.position == 0.0f) continue;
    expected.push_back(glCall("glPushMatrix"));
    expected.push_back(glCall("glTranslatef", s.position.x, s.position.y, s.position.z));
    expected.push_back(glCall("glCallList", list));
    expected.push_back(glCall("glPopMatrix"));
  }
  EXPECT_EQ(rec.calls(), expected);

  glGetFloatv(GL_MODELVIEW_MATRIX, after.data());
  EXPECT_EQ(before, after) << "draw leaves the model-view matrix as it found it";
}

TEST_F(DropStreamGL, drawnDropsLandWhereTheirPositionsSay) {
  OffscreenTarget target(200, 200);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  stream.init();
  stream.advance(0, 480);
  stream.advance(1000, 480);  // slot 0 at (240, -5, 0); the rest hidden
  ASSERT_EQ(shownDrops(), 1u);

  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 400, -200, 200, -50, 50);  // 2 units a pixel, x from 0, y centred
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  stream.draw();
  // (240, -5) is pixel (120, 97.5); the origin, where unshown drops sit, stays dark.
  EXPECT_EQ(target.pixel(120, 97)[1], 255);
  EXPECT_EQ(target.pixel(120, 97)[0], 0);
  EXPECT_EQ(target.pixel(130, 97)[1], 0) << "a sphere of radius 10 is 5 pixels wide here";
  EXPECT_EQ(target.pixel(0, 100)[1], 0);
}

TEST_F(DropStreamGL, nothingIsAllocatedAfterInit) {
  allocation_counter::start();
  stream.init();
  EXPECT_GT(allocation_counter::count(), 0) << "the pool is allocated in init (counter works)";

  // Mesa compiles its drawing code on first use (with allocations of its
  // own): one warm-up second of frames first.
  uint32_t now = 0;
  for (; now < 1000; now += 7) {
    stream.advance(now, 480);
    stream.draw();
  }
  const long warm = allocation_counter::count();
  for (; now < 30000; now += 7) {
    stream.advance(now, now % 1000);
    stream.draw();
  }
  EXPECT_EQ(allocation_counter::stop() - warm, 0);
  EXPECT_EQ(stream.pool.size(), DropStream::kPoolSize);
}

TEST_F(DropStreamGL, aSecondInitZeroesThePoolAndKeepsTheListName) {
  stream.init();
  runUntil(1500);
  const GLuint list = stream.dropList.name();
  CallRecorder rec;
  stream.init();
  rec.stop();
  EXPECT_EQ(rec.count("glGenLists"), 0u);
  EXPECT_EQ(stream.dropList.name(), list);
  EXPECT_EQ(stream.nextIndex, 0u);
  for (const DropState& s : stream.pool) EXPECT_TRUE(s.velocity == 0.0f);
}

}  // namespace
