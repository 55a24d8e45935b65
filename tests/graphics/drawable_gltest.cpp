// Display lists on a real Mesa context: name life cycle (recorded calls and
// glIsList), sharing between copies, and replay of what was recorded.
#include "graphics/drawable.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "tests/support/gl_context.h"
#include "tests/support/gl_recorder.h"

namespace {

using libgr::grDspList;
using libgr::grInvalidName;
using libgr::grObject3D;
using testsupport::CallRecorder;
using testsupport::glCall;

// Fills the whole viewport (identity matrices) with one colour, and counts
// how often its commands were issued.
class FullScreenQuad : public grObject3D {
 public:
  FullScreenQuad(GLubyte r, GLubyte g, GLubyte b) : r_(r), g_(g), b_(b) {}
  void render() override {
    ++renders;
    glColor3ub(r_, g_, b_);
    glBegin(GL_QUADS);
    glVertex2f(-1, -1);
    glVertex2f(1, -1);
    glVertex2f(1, 1);
    glVertex2f(-1, 1);
    glEnd();
  }
  // A list records render(); draw() is the public call and must not be used.
  void draw() override { ++draws; }
  int renders = 0;
  int draws = 0;

 private:
  GLubyte r_, g_, b_;
};

class ThrowingObject : public grObject3D {
 public:
  void render() override {
    glColor3f(1, 0, 0);
    throw std::runtime_error("render failed");
  }
};

class DspListTest : public testsupport::GLTest {};

TEST_F(DspListTest, NeverCompiledListIssuesNoCallsAtAll) {
  CallRecorder rec;
  {
    grDspList list;
    list.render();
    list.draw();
    list.deleteList();
    EXPECT_EQ(list.name(), grInvalidName);
    EXPECT_FALSE(list.isCompiled());
  }
  EXPECT_TRUE(rec.calls().empty()) << rec.dump();
}

TEST_F(DspListTest, CompileNullRecordsAnEmptyList) {
  grDspList list;
  CallRecorder rec;
  EXPECT_TRUE(list.compile(nullptr));
  rec.stop();
  const GLuint name = list.name();
  ASSERT_NE(name, grInvalidName);
  EXPECT_TRUE(glIsList(name));
  const std::vector<std::string> expected = {
      glCall("glGenLists", GLsizei(1)),
      glCall("glNewList", name, GLenum(GL_COMPILE)),
      glCall("glEndList"),
  };
  EXPECT_EQ(rec.calls(), expected) << rec.dump();
}

TEST_F(DspListTest, RecompilingReusesTheName) {
  FullScreenQuad red(255, 0, 0), green(0, 255, 0);
  grDspList list;
  CallRecorder rec;
  ASSERT_TRUE(list.compile(&red));
  const GLuint first = list.name();
  ASSERT_TRUE(list.compile(&green));
  rec.stop();
  EXPECT_EQ(list.name(), first);
  EXPECT_TRUE(glIsList(first));
  EXPECT_EQ(rec.count("glGenLists"), 1u) << rec.dump();
  EXPECT_EQ(rec.count("glDeleteLists"), 0u) << rec.dump();
  EXPECT_EQ(red.renders + green.renders, 2);
  EXPECT_EQ(red.draws + green.draws, 0);

  // The second recording replaced the first.
  testsupport::OffscreenTarget target(4, 4);
  list.draw();
  const auto pixel = target.pixel(2, 2);
  EXPECT_EQ(pixel[0], 0);
  EXPECT_EQ(pixel[1], 255);
}

TEST_F(DspListTest, DeleteListKeepsNothingAndCompileTakesANewName) {
  grDspList list;
  ASSERT_TRUE(list.compile(nullptr));
  const GLuint old = list.name();

  CallRecorder rec;
  list.deleteList();
  EXPECT_EQ(rec.calls(), std::vector<std::string>{glCall("glDeleteLists", old, GLsizei(1))})
      << rec.dump();
  EXPECT_FALSE(glIsList(old));
  EXPECT_EQ(list.name(), grInvalidName);

  rec.clear();
  list.render();
  list.deleteList();  // already cleared: nothing more to delete
  EXPECT_TRUE(rec.calls().empty()) << rec.dump();

  ASSERT_TRUE(list.compile(nullptr));
  EXPECT_EQ(rec.count("glGenLists"), 1u) << rec.dump();
  EXPECT_TRUE(glIsList(list.name()));
}

TEST_F(DspListTest, DestroyingACompiledListDeletesExactlyThatList) {
  grDspList kept;
  ASSERT_TRUE(kept.compile(nullptr));
  GLuint name = 0;
  CallRecorder rec;
  {
    grDspList doomed;
    ASSERT_TRUE(doomed.compile(nullptr));
    name = doomed.name();
    rec.clear();
  }
  EXPECT_EQ(rec.calls(), std::vector<std::string>{glCall("glDeleteLists", name, GLsizei(1))})
      << rec.dump();
  EXPECT_FALSE(glIsList(name));
  EXPECT_TRUE(glIsList(kept.name()));
}

TEST_F(DspListTest, CopiesShareTheListUntilTheLastOneGoes) {
  FullScreenQuad blue(0, 0, 255);
  testsupport::OffscreenTarget target(4, 4);
  CallRecorder rec;
  auto original = std::make_unique<grDspList>();
  ASSERT_TRUE(original->compile(&blue));
  grDspList copy(*original);
  const GLuint name = original->name();
  EXPECT_EQ(copy.name(), name);

  original.reset();
  EXPECT_EQ(rec.count("glDeleteLists"), 0u) << rec.dump();
  ASSERT_TRUE(glIsList(name));
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  copy.draw();
  EXPECT_EQ(target.pixel(1, 1)[2], 255);

  {
    // A cleared cell is cleared for every sharer, and a recompile through
    // one of them gives the other the new list.
    grDspList other(copy);
    other.deleteList();
    EXPECT_FALSE(copy.isCompiled());
    ASSERT_TRUE(other.compile(nullptr));
    EXPECT_EQ(copy.name(), other.name());
  }
  const GLuint last = copy.name();
  EXPECT_TRUE(glIsList(last));
  copy = grDspList();  // drops the last reference
  EXPECT_FALSE(glIsList(last));
}

TEST_F(DspListTest, CompiledListReplaysWhatWasRecorded) {
  testsupport::OffscreenTarget target(8, 8);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  FullScreenQuad red(255, 0, 0);
  grDspList list;
  ASSERT_TRUE(list.compile(&red));
  // GL_COMPILE records without drawing.
  EXPECT_EQ(target.pixel(4, 4)[0], 0);

  list.draw();
  const auto pixel = target.pixel(4, 4);
  EXPECT_EQ(pixel[0], 255);
  EXPECT_EQ(pixel[1], 0);
  EXPECT_EQ(pixel[2], 0);
  EXPECT_EQ(red.renders, 1);  // replay runs the list, not the object
}

TEST_F(DspListTest, NoListNameMeansFailureWithNothingRun) {
  testsupport::OffscreenTarget target(4, 4);  // glBegin needs a framebuffer
  FullScreenQuad quad(255, 255, 255);
  grDspList list;
  // GL hands out no list names between glBegin and glEnd.
  glBegin(GL_POINTS);
  const bool compiled = list.compile(&quad);
  glEnd();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_INVALID_OPERATION));
  EXPECT_FALSE(compiled);
  EXPECT_FALSE(list.isCompiled());
  EXPECT_EQ(quad.renders, 0);
  ASSERT_TRUE(list.compile(&quad));  // and a later compile still works
  EXPECT_TRUE(glIsList(list.name()));
}

TEST_F(DspListTest, AThrowingObjectDoesNotLeaveGLCompiling) {
  ThrowingObject thrower;
  grDspList list;
  EXPECT_THROW(list.compile(&thrower), std::runtime_error);
  GLint compiling = -1;
  glGetIntegerv(GL_LIST_INDEX, &compiling);
  EXPECT_EQ(compiling, 0);
  // Commands execute again instead of being swallowed by a list.
  glColor3f(0, 1, 0);
  GLfloat colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  EXPECT_EQ(colour[1], 1.0f);
}

}  // namespace
