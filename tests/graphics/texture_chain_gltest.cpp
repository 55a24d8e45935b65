// Photograph chains built on the CPU against GLU's own builder, on Mesa:
// the same level sizes for every picture size (GLU's rounding, GL's largest
// texture side), level 0 and the levels above within rounding of GLU's box
// filter, and grTextureChain2D defining every level with exactly the
// texels it was given.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "graphics/mip_chain.h"
#include "graphics/texture_chain.h"
#include "graphics/texture_object.h"
#include "tests/support/gl_context.h"

using namespace libgr;
using testsupport::glInteger;

namespace {

class TextureChain : public testsupport::GLTest {};

GLint levelInt(GLint level, GLenum what) {
  GLint value = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, what, &value);
  return value;
}

// A picture with detail in both directions: smooth ramps, a hard edge and
// a fine checker, RGB packed rows.
std::vector<unsigned char> busyPicture(int w, int h) {
  std::vector<unsigned char> rgb(std::size_t(w) * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      unsigned char* p = &rgb[(std::size_t(y) * w + x) * 3];
      p[0] = (unsigned char)(255 * x / std::max(1, w - 1));
      p[1] = (unsigned char)(x < w / 3 ? 30 : 220);
      p[2] = (unsigned char)(((x / 2 + y / 2) % 2) ? 255 : (255 * y / std::max(1, h - 1)));
    }
  return rgb;
}

grImage2D rgbImage(const refvector2<unsigned char>& pixels, int w, int h) {
  grImage2D image;
  image.pixels.view(pixels, 0, ofsvector<unsigned char>::toEnd);
  image.layout = grLayoutRGB;
  image.componentClass = grClassUnsigned;
  image.depthCode = grDepth8;
  image.pixelStore = &grPackedPixelStore;
  image.width = w;
  image.height = h;
  return image;
}

std::vector<unsigned char> readLevel(GLint level) {
  std::vector<unsigned char> texels(std::size_t(levelInt(level, GL_TEXTURE_WIDTH)) *
                                    levelInt(level, GL_TEXTURE_HEIGHT) * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, level, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  return texels;
}

TEST_F(TextureChain, baseLevelSizesAreTheOnesGluBuildsFromEverySize) {
  const GLint largest = glInteger(GL_MAX_TEXTURE_SIZE);
  struct Case {
    int w, h;
  } cases[] = {{1, 1},
               {2, 3},
               {5, 3},
               {61, 37},
               {300, 200},
               {420, 276},
               {1000, 600},
               {3, 1500},
               {2900, 1300},
               {largest + largest / 2, 2},
               {2 * largest + 5, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + " x " + std::to_string(c.h));
    const std::vector<unsigned char> rgb(std::size_t(c.w) * c.h * 3, 128);
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    ASSERT_EQ(
        gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB, c.w, c.h, GL_RGB, GL_UNSIGNED_BYTE, rgb.data()),
        0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    const grLevelSize ours = gluBaseLevelSize(uint32_t(c.w), uint32_t(c.h), uint32_t(largest));
    EXPECT_EQ(GLint(ours.width), levelInt(0, GL_TEXTURE_WIDTH));
    EXPECT_EQ(GLint(ours.height), levelInt(0, GL_TEXTURE_HEIGHT));
    glDeleteTextures(1, &name);
  }
}

// Our chain and GLU's chain of the same picture, level by level.
TEST_F(TextureChain, levelsMatchGluWithinRounding) {
  struct Case {
    int w, h;
  } cases[] = {{300, 200}, {61, 37}, {97, 250}, {256, 128}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + " x " + std::to_string(c.h));
    const std::vector<unsigned char> rgb = busyPicture(c.w, c.h);
    refvector2<unsigned char> pixels;
    ASSERT_TRUE(pixels.allocate(uint32_t(rgb.size())));
    std::copy(rgb.begin(), rgb.end(), pixels.begin());

    std::vector<grImage2D> levels;
    const grLevelSize base = gluBaseLevelSize(uint32_t(c.w), uint32_t(c.h), 4096);
    ASSERT_TRUE(buildMipChain(rgbImage(pixels, c.w, c.h), base, levels));

    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB, c.w, c.h, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    ASSERT_EQ(levels.size(), std::size_t(std::log2(std::max(base.width, base.height))) + 1);
    for (std::size_t level = 0; level < levels.size(); ++level) {
      SCOPED_TRACE("level " + std::to_string(level));
      const std::vector<unsigned char> glu = readLevel(GLint(level));
      const grImage2D& mine = levels[level];
      ASSERT_EQ(glu.size(), std::size_t(mine.width) * mine.height * 3);
      double total = 0;
      int worst = 0;
      for (std::size_t i = 0; i < glu.size(); ++i) {
        const int d = std::abs(int(glu[i]) - int(mine.pixels.begin()[i]));
        total += d;
        worst = std::max(worst, d);
      }
      // GLU filters in floating point, we in fixed point: rounding apart
      // (measured: at most 1 step anywhere).
      EXPECT_LT(total / glu.size(), 0.75);
      EXPECT_LE(worst, 2);
    }
    glDeleteTextures(1, &name);
  }
}

TEST_F(TextureChain, everyLevelIsDefinedWithTheTexelsItWasGiven) {
  const int w = 64, h = 16;
  const std::vector<unsigned char> rgb = busyPicture(w, h);
  refvector2<unsigned char> pixels;
  ASSERT_TRUE(pixels.allocate(uint32_t(rgb.size())));
  std::copy(rgb.begin(), rgb.end(), pixels.begin());
  std::vector<grImage2D> levels;
  ASSERT_TRUE(buildMipChain(rgbImage(pixels, w, h), {64, 16}, levels));
  EXPECT_EQ(levels[0].pixels.begin(), pixels.begin()) << "a picture of the base size is shared";

  grTexParams2D params(GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, GL_REPEAT, GL_REPEAT, 1.0f);
  grTextureChain2D chain;
  chain.setImages(levels.begin(), levels.end(), 0, 0);
  chain.setParams(&params);
  grTextureObject object;
  object.create(chain);
  EXPECT_TRUE(chain.baseLevelSent());
  ASSERT_EQ(levels.size(), 7u);  // 64 x 16 down to 1 x 1
  for (std::size_t level = 0; level < levels.size(); ++level) {
    SCOPED_TRACE("level " + std::to_string(level));
    EXPECT_EQ(levelInt(GLint(level), GL_TEXTURE_WIDTH), levels[level].width);
    EXPECT_EQ(levelInt(GLint(level), GL_TEXTURE_HEIGHT), levels[level].height);
    const std::vector<unsigned char> texels = readLevel(GLint(level));
    EXPECT_TRUE(std::equal(texels.begin(), texels.end(), levels[level].pixels.begin()));
  }
  GLint minFilter = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
  EXPECT_EQ(minFilter, GL_LINEAR_MIPMAP_LINEAR);
  EXPECT_EQ(glInteger(GL_UNPACK_ALIGNMENT), 4) << "the pixel store is restored";

  grTextureChain2D empty;
  object.create(empty);
  EXPECT_FALSE(empty.baseLevelSent());
  EXPECT_FALSE(empty.baseLevelProblem().empty());
}

}  // namespace
