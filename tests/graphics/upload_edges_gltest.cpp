// Uploads that once went wrong on odd but legal input (found by fuzzing the
// BMP-to-texture path): one-bit grey pictures, which GL cannot unpack, and
// pictures one or two pixels wide, whose smaller mipmap levels GLU sends
// from its own tight buffers under the row alignment in force.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "graphics/bmp.h"
#include "graphics/image.h"
#include "graphics/pixel_format.h"
#include "graphics/texture_image.h"
#include "tests/graphics/texture_test_helpers.h"
#include "tests/support/gl_context.h"
#include "tests/support/temp_file.h"
#include "tools/bmp_writer.h"

namespace {

using namespace libgr;

GLint levelWidth(GLint level) {
  GLint width = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &width);
  return width;
}
GLint levelHeight(GLint level) {
  GLint height = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &height);
  return height;
}

// Red values of a level, tightly read (grey pictures: their grey).
std::vector<unsigned char> redLevel(GLint level) {
  std::vector<unsigned char> red(size_t(levelWidth(level)) * size_t(levelHeight(level)));
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, level, GL_RED, GL_UNSIGNED_BYTE, red.data());
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  return red;
}

class UploadEdges : public testsupport::GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    glGenTextures(1, &name_);
    glBindTexture(GL_TEXTURE_2D, name_);
  }
  void TearDown() override {
    glDeleteTextures(1, &name_);
    GLTest::TearDown();
  }
  GLuint name_ = 0;
};

// 8 x 4 one-bit grey picture, rows padded to 4 bytes as in a BMP file.
grImage2D oneBitGrey() {
  grImage2D image =
      texturetest::image2D(8, 4, grLayoutLuminance, grDepth1, std::vector<unsigned char>(16, 0xA5));
  image.pixelStore = &grBmpPixelStore;
  return image;
}

TEST(UnpackSize, bitmapDataIsUnpackedForColourIndicesOnly) {
  grUnpackExtent extent;
  extent.width = 8;
  extent.height = 4;
  EXPECT_EQ(unpackedByteCount(GL_COLOR_INDEX, GL_BITMAP, extent), 3 * 4 + 1);
  // GL answers GL_INVALID_ENUM for GL_BITMAP with any other format.
  EXPECT_EQ(unpackedByteCount(GL_LUMINANCE, GL_BITMAP, extent), -1);
  EXPECT_EQ(unpackedByteCount(GL_RGB, GL_BITMAP, extent), -1);
  EXPECT_EQ(unpackedByteCount(GL_LUMINANCE_ALPHA, GL_BITMAP, extent), -1);
}

TEST_F(UploadEdges, aOneBitGreyPictureIsSkippedWithoutAGLError) {
  for (const bool mipmapped : {true, false}) {
    SCOPED_TRACE(mipmapped ? "mipmapped" : "single level");
    grTexture2D texture;
    texture.setMipmapped(mipmapped);
    texture.setImage(oneBitGrey(), 0, 0);
    texture.apply();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_EQ(levelWidth(0), 0) << "a level was defined from data GL cannot unpack";
  }
}

TEST_F(UploadEdges, aOneBitBmpWithoutPaletteLeavesNoGLError) {
  // bfOffBits 54: no room for a palette, so the picture reads as one-bit grey.
  bmpwriter::BmpLayout layout;
  layout.width = 8;
  layout.height = 4;
  layout.bitCount = 1;
  layout.pixels.assign(16, 0x5A);
  const testsupport::TempFile bmp(bmpwriter::encodeBmp(layout), ".bmp");
  grBmpFile file;
  ASSERT_TRUE(file.read(bmp.path()));
  grImage2D image;
  ASSERT_TRUE(bmpToImage(image, file));

  grTexture2D texture;
  texture.setMipmapped(true);
  texture.setImage(image, 0, 0);
  texture.apply();
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// A vertical gradient `width` pixels wide and 64 high, one byte (grey) or
// three (BGR) a pixel, rows padded to 4 bytes as in BMP files: every
// component of row y holds 4 * y.
grImage2D narrowGradient(int width, int components) {
  const int rowBytes = (width * components + 3) & ~3;
  std::vector<unsigned char> bytes(size_t(rowBytes) * 64, 0xEE);  // padding stands out
  for (int y = 0; y < 64; ++y)
    for (int i = 0; i < width * components; ++i)
      bytes[size_t(y) * rowBytes + i] = (unsigned char)(4 * y);
  grImage2D image = texturetest::image2D(
      width, 64, components == 1 ? grLayoutLuminance : grLayoutBGR, grDepth8, bytes);
  image.pixelStore = &grBmpPixelStore;
  return image;
}

TEST_F(UploadEdges, narrowPicturesGetEverySmallerLevelRight) {
  for (const int components : {1, 3}) {
    for (const int width : {1, 2}) {
      SCOPED_TRACE(std::to_string(components) + " bytes a pixel, width " + std::to_string(width));
      grTexture2D texture;
      texture.setMipmapped(true);
      texture.setImage(narrowGradient(width, components), 0, 0);
      texture.apply();
      ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
      ASSERT_EQ(levelHeight(0), 64);
      // Level n row y averages the 2^n rows of level 0 from 2^n * y on: the
      // mean of 4 * row over them.
      for (GLint level = 1, rows = 2; level <= 6; ++level, rows *= 2) {
        const std::vector<unsigned char> red = redLevel(level);
        const int levelRows = levelHeight(level);
        ASSERT_EQ(levelRows, 64 / rows) << "level " << level;
        const int levelColumns = levelWidth(level);
        for (int y = 0; y < levelRows; ++y) {
          const double expected = 4.0 * (rows * y + (rows - 1) / 2.0);
          for (int x = 0; x < levelColumns; ++x)
            ASSERT_NEAR(red[size_t(y) * levelColumns + x], expected, 1.0)
                << "level " << level << " row " << y;
        }
      }
      // The pixel-store settings are the caller's again.
      GLint alignment = 0;
      glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
      EXPECT_EQ(alignment, 4);
    }
  }
}

}  // namespace
