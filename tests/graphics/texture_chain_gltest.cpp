// Photograph chains built on the CPU against GLU's own builder, on Mesa:
// the same level sizes for every picture size (GLU's rounding, GL's largest
// texture side), level 0 and the levels above within rounding of GLU's box
// filter, and grTextureChain2D defining every level with exactly the
// texels it was given.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "graphics/mip_chain.h"
#include "graphics/texture_chain.h"
#include "graphics/texture_object.h"
#include "tests/support/gl_context.h"
#include "tests/support/gl_recorder.h"

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
// a fine checker (and a vertical ramp as a fourth component), packed rows
// of `c` components.
std::vector<unsigned char> busyPicture(int w, int h, int c = 3) {
  std::vector<unsigned char> pixels(std::size_t(w) * h * c);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const unsigned char values[4] = {
          (unsigned char)(255 * x / std::max(1, w - 1)), (unsigned char)(x < w / 3 ? 30 : 220),
          (unsigned char)(((x / 2 + y / 2) % 2) ? 255 : (255 * y / std::max(1, h - 1))),
          (unsigned char)(255 - 255 * y / std::max(1, h - 1))};
      for (int k = 0; k < c; ++k) pixels[(std::size_t(y) * w + x) * c + k] = values[c == 1 ? 2 : k];
    }
  return pixels;
}

constexpr GLenum kFormatOfComponents[] = {0, GL_LUMINANCE, GL_LUMINANCE_ALPHA, GL_RGB, GL_RGBA};

grImage2D rgbImage(const refvector2<unsigned char>& pixels, int w, int h,
                   uint32_t layout = grLayoutRGB) {
  grImage2D image;
  image.pixels.view(pixels, 0, ofsvector<unsigned char>::toEnd);
  image.layout = layout;
  image.componentClass = grClassUnsigned;
  image.depthCode = grDepth8;
  image.pixelStore = &grPackedPixelStore;
  image.width = w;
  image.height = h;
  return image;
}

std::vector<unsigned char> readLevel(GLint level, int c = 3) {
  std::vector<unsigned char> texels(std::size_t(levelInt(level, GL_TEXTURE_WIDTH)) *
                                    levelInt(level, GL_TEXTURE_HEIGHT) * c);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, level, kFormatOfComponents[c], GL_UNSIGNED_BYTE, texels.data());
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

// Our chain and GLU's chain of the same picture, level by level: enlarged
// and reduced sides, two to four taps a sample, every component count the
// readers give (the three- and four-component rows have a vector path whose
// last pixels are left to the plain loop).
TEST_F(TextureChain, levelsMatchGluWithinRounding) {
  struct Case {
    int w, h, c;
    uint32_t layout;
  } cases[] = {{300, 200, 3, grLayoutRGB},      {61, 37, 3, grLayoutRGB},
               {97, 250, 3, grLayoutRGB},       {256, 128, 3, grLayoutRGB},
               {1500, 40, 4, grLayoutRGBA},     {301, 77, 4, grLayoutRGBA},
               {700, 90, 1, grLayoutLuminance}, {1400, 300, 3, grLayoutRGB}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + " x " + std::to_string(c.h) + " x " + std::to_string(c.c));
    const std::vector<unsigned char> picture = busyPicture(c.w, c.h, c.c);
    refvector2<unsigned char> pixels;
    ASSERT_TRUE(pixels.allocate(uint32_t(picture.size())));
    std::copy(picture.begin(), picture.end(), pixels.begin());

    std::vector<grImage2D> levels;
    const grLevelSize base = gluBaseLevelSize(uint32_t(c.w), uint32_t(c.h), 4096);
    ASSERT_TRUE(buildMipChain(rgbImage(pixels, c.w, c.h, c.layout), base, levels));

    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const GLenum format = kFormatOfComponents[c.c];
    gluBuild2DMipmaps(GL_TEXTURE_2D, GLint(format), c.w, c.h, format, GL_UNSIGNED_BYTE,
                      picture.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    ASSERT_EQ(levels.size(), std::size_t(std::log2(std::max(base.width, base.height))) + 1);
    for (std::size_t level = 0; level < levels.size(); ++level) {
      SCOPED_TRACE("level " + std::to_string(level));
      const std::vector<unsigned char> glu = readLevel(GLint(level), c.c);
      const grImage2D& mine = levels[level];
      ASSERT_EQ(glu.size(), std::size_t(mine.width) * mine.height * c.c);
      double total = 0;
      int worst = 0;
      for (std::size_t i = 0; i < glu.size(); ++i) {
        const int d = std::abs(int(glu[i]) - int(mine.pixels.begin()[i]));
        total += d;
        worst = std::max(worst, d);
      }
      // GLU filters in floating point, we in fixed point: rounding apart
      // (measured: at most 1 step in a level of some size; the last few
      // texels of a long, thin chain, halved a side at a time, 2).
      if (glu.size() >= 64) {
        EXPECT_LT(total / glu.size(), 0.75);
      }
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
  testsupport::CallRecorder recorder;
  object.create(chain);
  recorder.stop();
  EXPECT_TRUE(chain.baseLevelSent());
  // A driver sizes the storage for the whole chain only when it sees a
  // mipmapping filter by the time level 0 is defined.
  const std::vector<std::string>& calls = recorder.calls();
  const auto firstImage = std::find_if(calls.begin(), calls.end(), [](const std::string& call) {
    return call.rfind("glTexImage2D(", 0) == 0;
  });
  const std::string setMinFilter =
      testsupport::glCall("glTexParameteri", GLenum(GL_TEXTURE_2D), GLenum(GL_TEXTURE_MIN_FILTER),
                          GLint(GL_LINEAR_MIPMAP_LINEAR));
  EXPECT_NE(std::find(calls.begin(), firstImage, setMinFilter), firstImage) << recorder.dump();
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
