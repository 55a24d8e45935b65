// GL's own mipmap generation rebuilds the whole chain on every change of
// level 0: an image that fills level 0 exactly must reach GL in one
// definition carrying its pixels (one generation), while one smaller than its
// level is still defined empty and then filled.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/extensions.h"
#include "graphics/texture_image.h"
#include "tests/graphics/texture_test_helpers.h"
#include "tests/support/gl_context.h"
#include "tests/support/gl_recorder.h"

using namespace libgr;
using testsupport::CallRecorder;
using testsupport::glCall;
using texturetest::image2D;
using texturetest::solid;

namespace {

const void* const ptr = reinterpret_cast<const void*>(1);  // prints "ptr"
const void* const null = nullptr;

// The one definition of the 4 x 4 RGB level 0, carrying pixels (`ptr`) or
// none (`null`).
std::vector<std::string> levelZeroDefinition(const void* pixels) {
  return {glCall("glTexImage2D", GLenum(GL_TEXTURE_2D), GLint(0), GLint(GL_RGB8), GLsizei(4),
                 GLsizei(4), GLint(0), GLenum(GL_RGB), GLenum(GL_UNSIGNED_BYTE), pixels)};
}

class GeneratedUpload : public testsupport::GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    resetExtensionProbes();
    ASSERT_TRUE(probeGenerateMipmap());
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
  }
  void TearDown() override {
    glDeleteTextures(1, &name);
    resetExtensionProbes();
    GLTest::TearDown();
  }

  // Uploads `image` at column `x` of level 0 of a mipmapped texture; the
  // calls made are recorded from before the upload.
  static void uploadMipmapped(const grImage2D& image, int x, CallRecorder& rec) {
    grTexture2D texture;
    texture.setMipmapped(true);
    texture.setImage(image, x, 0);
    rec.clear();
    texture.apply();
  }

  std::vector<unsigned char> level(GLint level) {
    GLint width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &width);
    std::vector<unsigned char> rgb(size_t(width) * width * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (!rgb.empty()) glGetTexImage(GL_TEXTURE_2D, level, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
  }

  GLuint name = 0;
};

TEST_F(GeneratedUpload, AnExactFitIsDefinedOnceWithItsPixels) {
  CallRecorder rec;
  uploadMipmapped(image2D(4, 4, grLayoutRGB, grDepth8, solid(16, 40, 80, 160)), 0, rec);
  EXPECT_EQ(rec.callsTo("glTexImage2D"), levelZeroDefinition(ptr)) << rec.dump();
  EXPECT_EQ(rec.count("glTexSubImage2D"), 0u) << rec.dump();
  // GL still built the chain from those pixels.
  const std::vector<unsigned char> smallest = level(2);
  ASSERT_EQ(smallest.size(), 3u);
  EXPECT_EQ(smallest, (std::vector<unsigned char>{40, 80, 160}));
}

TEST_F(GeneratedUpload, ASmallerImageIsStillDefinedThenFilled) {
  // Rows of 6 bytes padded to GL's unpack alignment of 4.
  const std::vector<unsigned char> rows = {200, 0, 0, 200, 0, 0, 0, 0, 200, 0, 0, 200, 0, 0, 0, 0};
  CallRecorder rec;
  uploadMipmapped(image2D(2, 2, grLayoutRGB, grDepth8, rows), 4, rec);
  EXPECT_EQ(rec.callsTo("glTexImage2D"), levelZeroDefinition(null)) << rec.dump();
  EXPECT_EQ(rec.count("glTexSubImage2D"), 1u) << rec.dump();
  EXPECT_EQ(level(0)[0], 200);
}

}  // namespace
