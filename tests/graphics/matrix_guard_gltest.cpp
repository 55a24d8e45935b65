// Matrix-mode saver and matrix guard on a real Mesa context: which
// glMatrixMode calls happen (recorded), the software stack when the GL stack
// is full, restoring under exceptions, and the unknown-mode diagnostic.
#include "graphics/matrix_guard.h"

#include <gtest/gtest.h>

#include <array>
#include <iostream>
#include <sstream>
#include <stdexcept>

#include "tests/support/gl_context.h"
#include "tests/support/gl_recorder.h"

namespace {

using libgr::grMatrixGuard;
using libgr::grMatrixModeSaver;
using libgr::grMatrixStackInfo;
using testsupport::CallRecorder;
using testsupport::glCall;
using testsupport::glInteger;

using Matrix = std::array<GLfloat, 16>;

GLenum matrixMode() { return static_cast<GLenum>(glInteger(GL_MATRIX_MODE)); }

Matrix getMatrix(GLenum matrixEnum) {
  Matrix m{};
  glGetFloatv(matrixEnum, m.data());
  return m;
}

// Captures std::cout for the lifetime of the object.
class CoutCapture {
 public:
  CoutCapture() : previous_(std::cout.rdbuf(captured_.rdbuf())) {}
  ~CoutCapture() { std::cout.rdbuf(previous_); }
  std::string text() const { return captured_.str(); }

 private:
  std::ostringstream captured_;
  std::streambuf* previous_;
};

class MatrixGuardTest : public testsupport::GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    glMatrixMode(GL_MODELVIEW);
  }
  void TearDown() override {
    libgr::setStackDepthChecking(false);
    GLTest::TearDown();
  }
};

TEST_F(MatrixGuardTest, SaverIssuesNoModeSwitchWhenModeIsRightOrZero) {
  CallRecorder rec;
  {
    grMatrixModeSaver same(GL_MODELVIEW);
    grMatrixModeSaver none(0);
    none.restore();
  }
  EXPECT_EQ(rec.count("glMatrixMode"), 0u) << rec.dump();
  EXPECT_EQ(matrixMode(), static_cast<GLenum>(GL_MODELVIEW));
}

TEST_F(MatrixGuardTest, SaverSwitchesAndRestoresOnce) {
  CallRecorder rec;
  {
    grMatrixModeSaver saver(GL_PROJECTION);
    EXPECT_EQ(matrixMode(), static_cast<GLenum>(GL_PROJECTION));
  }
  EXPECT_EQ(matrixMode(), static_cast<GLenum>(GL_MODELVIEW));
  const std::vector<std::string> expected = {glCall("glMatrixMode", GLenum(GL_PROJECTION)),
                                             glCall("glMatrixMode", GLenum(GL_MODELVIEW))};
  EXPECT_EQ(rec.callsTo("glMatrixMode"), expected) << rec.dump();

  // After an explicit restore the destructor leaves a later mode alone.
  {
    grMatrixModeSaver saver(GL_TEXTURE);
    saver.restore();
    EXPECT_EQ(matrixMode(), static_cast<GLenum>(GL_MODELVIEW));
    glMatrixMode(GL_PROJECTION);
  }
  EXPECT_EQ(matrixMode(), static_cast<GLenum>(GL_PROJECTION));
  glMatrixMode(GL_MODELVIEW);
}

TEST_F(MatrixGuardTest, DepthCheckingQueriesEachCapacityAndOffClearsThem) {
  EXPECT_FALSE(libgr::stackDepthChecking());
  libgr::setStackDepthChecking(true);
  EXPECT_TRUE(libgr::stackDepthChecking());
  EXPECT_EQ(libgr::modelViewStackInfo().maxDepth, glInteger(GL_MAX_MODELVIEW_STACK_DEPTH));
  EXPECT_EQ(libgr::projectionStackInfo().maxDepth, glInteger(GL_MAX_PROJECTION_STACK_DEPTH));
  EXPECT_EQ(libgr::textureStackInfo().maxDepth, glInteger(GL_MAX_TEXTURE_STACK_DEPTH));
  EXPECT_GT(libgr::textureStackInfo().maxDepth, 0);

  libgr::setStackDepthChecking(false);
  EXPECT_FALSE(libgr::stackDepthChecking());
  EXPECT_EQ(libgr::modelViewStackInfo().maxDepth, 0);
  EXPECT_EQ(libgr::projectionStackInfo().maxDepth, 0);
  EXPECT_EQ(libgr::textureStackInfo().maxDepth, 0);
}

struct StackCase {
  GLenum mode, depthEnum, maxDepthEnum, matrixEnum;
};

class FullStackTest : public MatrixGuardTest, public ::testing::WithParamInterface<StackCase> {};

// Fills the GL stack to one below its capacity, so that of two nested guards
// the outer one takes the last GL slot and the inner one must overflow.
TEST_P(FullStackTest, GuardsOverflowIntoTheSoftwareStackAndRestoreExactly) {
  const StackCase stack = GetParam();
  glMatrixMode(stack.mode);
  const GLint capacity = glInteger(stack.maxDepthEnum);
  while (glInteger(stack.depthEnum) < capacity - 1) glPushMatrix();
  // Values that only survive an exact copy.
  glLoadIdentity();
  glRotatef(33.3f, 0.3f, 0.5f, 0.7f);
  glTranslatef(1.0f / 3.0f, -7.1f, 1e-7f);
  const Matrix original = getMatrix(stack.matrixEnum);
  glMatrixMode(GL_MODELVIEW);

  libgr::setStackDepthChecking(true);
  grMatrixStackInfo& record = libgr::matrixStackInfo(stack.mode);
  {
    grMatrixGuard outer(stack.mode);
    EXPECT_TRUE(outer.pushedOnGLStack());
    EXPECT_EQ(matrixMode(), stack.mode);
    glScalef(2, 2, 2);
    const Matrix scaled = getMatrix(stack.matrixEnum);
    CallRecorder rec;
    {
      grMatrixGuard inner(stack.mode);
      EXPECT_FALSE(inner.pushedOnGLStack());
      ASSERT_EQ(record.overflow.size(), 1u);
      EXPECT_EQ(record.overflow.back(), scaled);
      glLoadIdentity();
    }
    EXPECT_EQ(rec.count("glPushMatrix"), 0u) << rec.dump();
    EXPECT_EQ(rec.count("glPopMatrix"), 0u) << rec.dump();
    EXPECT_EQ(rec.count("glLoadMatrixf"), 1u) << rec.dump();
    EXPECT_EQ(getMatrix(stack.matrixEnum), scaled);
    EXPECT_TRUE(record.overflow.empty());
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));  // no stack overflow
  EXPECT_EQ(matrixMode(), static_cast<GLenum>(GL_MODELVIEW));
  glMatrixMode(stack.mode);
  EXPECT_EQ(glInteger(stack.depthEnum), capacity - 1);
  EXPECT_EQ(getMatrix(stack.matrixEnum), original);
  while (glInteger(stack.depthEnum) > 1) glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
}

INSTANTIATE_TEST_SUITE_P(
    AllStacks, FullStackTest,
    ::testing::Values(StackCase{GL_MODELVIEW, GL_MODELVIEW_STACK_DEPTH,
                                GL_MAX_MODELVIEW_STACK_DEPTH, GL_MODELVIEW_MATRIX},
                      StackCase{GL_PROJECTION, GL_PROJECTION_STACK_DEPTH,
                                GL_MAX_PROJECTION_STACK_DEPTH, GL_PROJECTION_MATRIX},
                      StackCase{GL_TEXTURE, GL_TEXTURE_STACK_DEPTH, GL_MAX_TEXTURE_STACK_DEPTH,
                                GL_TEXTURE_MATRIX}));

TEST_F(MatrixGuardTest, WithCheckingOffGuardsAlwaysPushWithoutQueryingDepth) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  const Matrix before = getMatrix(GL_PROJECTION_MATRIX);
  glMatrixMode(GL_MODELVIEW);
  CallRecorder rec;
  {
    grMatrixGuard guard(GL_PROJECTION);
    EXPECT_TRUE(guard.pushedOnGLStack());
    glOrtho(0, 1, 0, 1, -1, 1);
  }
  EXPECT_EQ(rec.count("glPushMatrix"), 1u) << rec.dump();
  EXPECT_EQ(rec.count("glPopMatrix"), 1u) << rec.dump();
  EXPECT_TRUE(rec.callsTo("glGetIntegerv") ==
              std::vector<std::string>{glCall("glGetIntegerv", GLenum(GL_MATRIX_MODE), &rec)})
      << rec.dump();  // the saver's mode query only
  EXPECT_EQ(matrixMode(), static_cast<GLenum>(GL_MODELVIEW));
  glMatrixMode(GL_PROJECTION);
  EXPECT_EQ(glInteger(GL_PROJECTION_STACK_DEPTH), 1);
  EXPECT_EQ(getMatrix(GL_PROJECTION_MATRIX), before);
  glMatrixMode(GL_MODELVIEW);
}

TEST_F(MatrixGuardTest, GuardOfCurrentModeLeavesTheModeAlone) {
  glMatrixMode(GL_TEXTURE);
  CallRecorder rec;
  {
    grMatrixGuard guard;  // 0: whatever is current
    EXPECT_EQ(glInteger(GL_TEXTURE_STACK_DEPTH), 2);
  }
  EXPECT_EQ(rec.count("glMatrixMode"), 0u) << rec.dump();
  EXPECT_EQ(glInteger(GL_TEXTURE_STACK_DEPTH), 1);
  glMatrixMode(GL_MODELVIEW);
}

TEST_F(MatrixGuardTest, ExceptionsLeavingGuardsRestoreModesAndMatrices) {
  const Matrix modelView = getMatrix(GL_MODELVIEW_MATRIX);
  libgr::setStackDepthChecking(true);
  glMatrixMode(GL_PROJECTION);
  const GLint capacity = glInteger(GL_MAX_PROJECTION_STACK_DEPTH);
  while (glInteger(GL_PROJECTION_STACK_DEPTH) < capacity) glPushMatrix();
  const Matrix projection = getMatrix(GL_PROJECTION_MATRIX);
  glMatrixMode(GL_TEXTURE);
  try {
    grMatrixGuard pushed(GL_MODELVIEW);
    glTranslatef(5, 6, 7);
    grMatrixGuard overflowed(GL_PROJECTION);  // GL stack full: software copy
    glLoadIdentity();
    throw std::runtime_error("drawing failed");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(matrixMode(), static_cast<GLenum>(GL_TEXTURE));
  EXPECT_TRUE(libgr::projectionStackInfo().overflow.empty());
  EXPECT_EQ(getMatrix(GL_MODELVIEW_MATRIX), modelView);
  EXPECT_EQ(getMatrix(GL_PROJECTION_MATRIX), projection);
  EXPECT_EQ(glInteger(GL_MODELVIEW_STACK_DEPTH), 1);
  glMatrixMode(GL_PROJECTION);
  while (glInteger(GL_PROJECTION_STACK_DEPTH) > 1) glPopMatrix();
  glMatrixMode(GL_MODELVIEW);

  try {
    grMatrixModeSaver saver(GL_PROJECTION);
    throw std::runtime_error("projection failed");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(matrixMode(), static_cast<GLenum>(GL_MODELVIEW));
}

TEST_F(MatrixGuardTest, RecordLookupFollowsTheModeAndDefaultsToTheCurrentOne) {
  EXPECT_EQ(&libgr::matrixStackInfo(GL_MODELVIEW), &libgr::modelViewStackInfo());
  EXPECT_EQ(&libgr::matrixStackInfo(GL_PROJECTION), &libgr::projectionStackInfo());
  EXPECT_EQ(&libgr::matrixStackInfo(GL_TEXTURE), &libgr::textureStackInfo());
  glMatrixMode(GL_TEXTURE);
  EXPECT_EQ(&libgr::matrixStackInfo(0), &libgr::textureStackInfo());
  glMatrixMode(GL_MODELVIEW);
  EXPECT_EQ(libgr::projectionStackInfo().mode, static_cast<GLenum>(GL_PROJECTION));
  EXPECT_EQ(libgr::projectionStackInfo().matrixEnum, static_cast<GLenum>(GL_PROJECTION_MATRIX));

  // A record of any other mode has nothing to query and never limits pushes.
  const grMatrixStackInfo other(0x1703);
  EXPECT_EQ(other.mode, 0x1703u);
  EXPECT_EQ(other.depthEnum, 0u);
  EXPECT_EQ(other.maxDepth, 0);
  EXPECT_TRUE(other.canPush());
}

TEST_F(MatrixGuardTest, UnknownModeIsReportedAndFallsBackToModelView) {
  CoutCapture capture;
  grMatrixStackInfo& record = libgr::matrixStackInfo(0x1703);
  EXPECT_EQ(&record, &libgr::modelViewStackInfo());
  EXPECT_EQ(capture.text(), "1703: unknown enum! fall back to modelview.\n");
  // The stream's own number format is left as it was.
  std::cout << 26;
  EXPECT_EQ(capture.text(), "1703: unknown enum! fall back to modelview.\n26");
}

TEST_F(MatrixGuardTest, GuardOfAnUnknownModeWorksOnTheModelViewStack) {
  CoutCapture capture;
  glMatrixMode(GL_PROJECTION);
  {
    grMatrixGuard guard(0x1703);
    EXPECT_EQ(matrixMode(), static_cast<GLenum>(GL_MODELVIEW));
    EXPECT_EQ(glInteger(GL_MODELVIEW_STACK_DEPTH), 2);
  }
  EXPECT_EQ(matrixMode(), static_cast<GLenum>(GL_PROJECTION));
  EXPECT_EQ(glInteger(GL_MODELVIEW_STACK_DEPTH), 1);
  EXPECT_EQ(glInteger(GL_PROJECTION_STACK_DEPTH), 1);
  EXPECT_EQ(capture.text(), "1703: unknown enum! fall back to modelview.\n");
  glMatrixMode(GL_MODELVIEW);
}

}  // namespace
