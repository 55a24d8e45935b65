#include "tests/support/gl_context.h"

namespace testsupport {

void GLTest::SetUp() {
  std::string why;
  ASSERT_TRUE(makeHeadlessContextCurrent(&why)) << why;
  while (glGetError() != GL_NO_ERROR) {
  }
}

void GLTest::TearDown() {
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "the test left a GL error behind";
}

}  // namespace testsupport
