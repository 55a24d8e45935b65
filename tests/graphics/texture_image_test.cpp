// Pixel-format table, generation support, power-of-two floor and the
// image-setting rules of the image textures (no GL calls involved).
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <array>
#include <vector>

#include "graphics/extensions.h"
#include "graphics/texture_image.h"
#include "tests/graphics/texture_test_helpers.h"

using namespace libgr;
using texturetest::image1D;
using texturetest::image2D;
using texturetest::image3D;

namespace {
struct Resolution {
  unsigned layout, componentClass, depthCode;
  GLenum internalFormat, format, type;
};

grPixelFormat resolved(unsigned layout, unsigned componentClass, unsigned depthCode,
                       bool compress = false) {
  grPixelFormat format;
  EXPECT_TRUE(resolvePixelFormat(format, layout, componentClass, depthCode, compress))
      << layout << "/" << componentClass << "/" << depthCode;
  return format;
}
}  // namespace

TEST(ResolvePixelFormat, RowsOfEveryLayout) {
  const Resolution cases[] = {
      {0, 0, 2, GL_LUMINANCE4, GL_LUMINANCE, GL_BYTE},
      {0, 1, 0, GL_LUMINANCE, GL_LUMINANCE, GL_BITMAP},
      {0, 1, 4, GL_LUMINANCE12, GL_LUMINANCE, GL_UNSIGNED_SHORT},
      {0, 2, 5, GL_LUMINANCE, GL_LUMINANCE, GL_HALF_FLOAT},
      {1, 0, 14, GL_LUMINANCE12_ALPHA4, GL_LUMINANCE_ALPHA, GL_BITMAP},
      {1, 1, 13, GL_LUMINANCE6_ALPHA2, GL_LUMINANCE_ALPHA, GL_UNSIGNED_BYTE},
      {1, 1, 6, GL_LUMINANCE_ALPHA, GL_LUMINANCE_ALPHA, GL_UNSIGNED_INT},
      {2, 0, 3, GL_INTENSITY8, GL_INTENSITY, GL_BYTE},
      {2, 1, 5, GL_INTENSITY16, GL_INTENSITY, GL_UNSIGNED_SHORT},
      {3, 0, 5, GL_RED, GL_RED, GL_SHORT},
      {4, 1, 0, GL_GREEN, GL_GREEN, GL_BITMAP},
      {5, 2, 7, GL_BLUE, GL_BLUE, GL_FLOAT},
      {6, 0, 3, GL_ALPHA, GL_ALPHA, GL_BYTE},  // plain alpha for 8 bits
      {6, 1, 2, GL_ALPHA4, GL_ALPHA, GL_UNSIGNED_BYTE},
      {7, 0, 9, GL_R3_G3_B2, GL_RGB, GL_UNSIGNED_BYTE_3_3_2},
      {7, 1, 3, GL_RGB8, GL_RGB, GL_UNSIGNED_BYTE},
      {12, 1, 10, GL_RGB5, GL_RGB, GL_UNSIGNED_SHORT_5_6_5},
      {8, 1, 2, GL_RGBA4, GL_RGBA, GL_UNSIGNED_SHORT_4_4_4_4},
      {13, 0, 12, GL_RGB10_A2, GL_RGBA, GL_UNSIGNED_INT_10_10_10_2},
      {8, 0, 3, GL_RGBA8, GL_RGBA, GL_BYTE},
      {9, 1, 3, GL_RGB, GL_BGR_EXT, GL_UNSIGNED_BYTE},
      {9, 0, 10, GL_RGB5, GL_BGR_EXT, GL_UNSIGNED_SHORT_5_6_5},
      {10, 1, 3, GL_RGBA, GL_BGRA_EXT, GL_UNSIGNED_BYTE},
      {10, 1, 2, GL_RGB4, GL_BGRA_EXT, GL_UNSIGNED_SHORT_4_4_4_4},
      {11, 2, 6, GL_DEPTH_COMPONENT24, GL_DEPTH_COMPONENT, GL_FLOAT},
      // Colour indices land in a colour texture.
      {15, 1, 3, GL_RGB, GL_COLOR_INDEX, GL_UNSIGNED_BYTE},
      {15, 1, 0, GL_RGB, GL_COLOR_INDEX, GL_BITMAP},
  };
  for (const Resolution& c : cases) {
    const grPixelFormat f = resolved(c.layout, c.componentClass, c.depthCode);
    EXPECT_EQ(f.internalFormat, c.internalFormat)
        << "layout " << c.layout << " depth " << c.depthCode;
    EXPECT_EQ(f.format, c.format) << "layout " << c.layout;
    EXPECT_EQ(f.type, c.type) << "layout " << c.layout << " depth " << c.depthCode;
  }
}

TEST(ResolvePixelFormat, CombinationsWithoutARowFailButStillSetTheFormat) {
  grPixelFormat f;
  EXPECT_FALSE(resolvePixelFormat(f, 0, grClassSigned, grDepth1, false));  // signed 1-bit
  EXPECT_EQ(f.format, GLenum(GL_LUMINANCE));
  EXPECT_FALSE(resolvePixelFormat(f, 14, grClassUnsigned, grDepth8, false));
  EXPECT_EQ(f.format, GLenum(GL_RGB));
  EXPECT_FALSE(resolvePixelFormat(f, 15, grClassSigned, grDepth8, false));
  EXPECT_FALSE(resolvePixelFormat(f, 9, grClassFloat, grDepth32, false));
  grPixelFormat untouched;
  untouched.format = 0x1234;
  EXPECT_FALSE(resolvePixelFormat(untouched, 16, grClassUnsigned, grDepth8, false));
  EXPECT_EQ(untouched.format, 0x1234u);
}

TEST(ResolvePixelFormat, CompressionTouchesOnlyAlphaAndOnlyWhenAvailable) {
  resetExtensionProbes();
  EXPECT_EQ(resolved(6, 0, 3, true).internalFormat, GLenum(GL_ALPHA));  // not probed
  grHasTextureCompression = true;
  EXPECT_EQ(resolved(6, 0, 3, true).internalFormat, GLenum(GL_COMPRESSED_ALPHA_ARB));
  EXPECT_EQ(resolved(6, 0, 3, false).internalFormat, GLenum(GL_ALPHA));
  EXPECT_EQ(resolved(6, 1, 2, true).internalFormat, GLenum(GL_ALPHA4));
  EXPECT_EQ(resolved(7, 1, 7, true).internalFormat, GLenum(GL_RGB));
  resetExtensionProbes();
}

TEST(SupportsGenerateMipmap, OnlyTheListedFormats) {
  for (GLenum yes : {GL_RGB, GL_RGBA, GL_RGB5, GL_RGB8, GL_RGBA8, GL_BGR_EXT, GL_BGRA_EXT})
    EXPECT_TRUE(supportsGenerateMipmap(yes)) << std::hex << yes;
  for (GLenum no : {GL_ALPHA, GL_LUMINANCE8, GL_RGB4, GL_COLOR_INDEX, GL_DEPTH_COMPONENT24})
    EXPECT_FALSE(supportsGenerateMipmap(no)) << std::hex << no;
}

TEST(FloorPowerOfTwo, LooksAtBitsZeroToThirty) {
  EXPECT_EQ(floorPowerOfTwo(0), 1u);
  EXPECT_EQ(floorPowerOfTwo(1), 1u);
  EXPECT_EQ(floorPowerOfTwo(3), 2u);
  EXPECT_EQ(floorPowerOfTwo(300), 256u);
  EXPECT_EQ(floorPowerOfTwo(512), 512u);
  EXPECT_EQ(floorPowerOfTwo(0x7FFFFFFF), 0x40000000u);
  EXPECT_EQ(floorPowerOfTwo(0x80000000u), 1u);
  EXPECT_EQ(floorPowerOfTwo(0xC0000000u), 0x40000000u);
}

TEST(ImageTextureSetters, SetImageResizesAndKeepsTheLargerSize) {
  grTexture2D texture;
  const grImage2D big = image2D(64, 32, grLayoutRGB, grDepth8, std::vector<unsigned char>(6144));
  const std::vector<grImage2D> three(3, big);
  texture.setImages(three.begin(), three.end(), 0, 0);
  ASSERT_EQ(texture.images().size(), 3u);
  EXPECT_EQ(texture.size(), 64u);
  const grImage2D small = image2D(4, 8, grLayoutRGB, grDepth8, std::vector<unsigned char>(96));
  texture.setImage(small, 0, 0);
  ASSERT_EQ(texture.images().size(), 1u);
  EXPECT_EQ(texture.size(), 64u);
  // The entry shares the record's pixel storage.
  EXPECT_EQ(texture.images()[0].pixels.begin(), small.pixels.begin());
  EXPECT_EQ(small.pixels.useCount(), 2);
  texture.setImage(small, 16, 0);  // an explicit size replaces
  EXPECT_EQ(texture.size(), 16u);
  texture.clearImages();
  EXPECT_TRUE(texture.images().empty());
  EXPECT_EQ(texture.size(), 16u);
}

TEST(ImageTextureSetters, SetImageAtALevelCreatesFillers) {
  grTexture2D texture;
  texture.setImage(image2D(4, 4, grLayoutRGB, grDepth8, std::vector<unsigned char>(48)), 256, 2);
  ASSERT_EQ(texture.images().size(), 3u);
  EXPECT_EQ(texture.size(), 256u);
  EXPECT_FALSE(texture.images()[0].pixels.hasStorage());
  EXPECT_FALSE(texture.images()[1].pixels.hasStorage());
  EXPECT_TRUE(texture.images()[2].pixels.hasStorage());
}

TEST(ImageTextureSetters, SetImagesOnlyGrowsAndTakesTheLargestDimension) {
  grTexture3D texture;
  const std::vector<grImage3D> four(4, image3D(2, 2, 2, grLayoutRGB, grDepth8, {}));
  texture.setImages(four.begin(), four.end(), 0, 0);
  const std::vector<grImage3D> one = {image3D(2, 3, 9, grLayoutRGB, grDepth8, {})};
  texture.setImages(one.begin(), one.end(), 0, 1);
  EXPECT_EQ(texture.images().size(), 4u);
  EXPECT_EQ(texture.size(), 9u);
  EXPECT_EQ(texture.images()[1].depth, 9);
  // Negative dimensions do not count.
  grTexture1D line;
  line.setImage(image1D(-5, grLayoutRGB, grDepth8, {}), 0, 0);
  EXPECT_EQ(line.size(), 0u);
}

TEST(ImageTextureSetters, CubeMapFacesAndFaceSets) {
  grTextureCubeMap cube;
  std::array<grImage2D, 6> faces;
  for (int k = 0; k < 6; ++k) faces[k] = image2D(k + 1, 1, grLayoutRGB, grDepth8, {});
  cube.setFaces(faces.data(), 0, 1);
  ASSERT_EQ(cube.images().size(), 12u);
  EXPECT_EQ(cube.images()[6 + 4].width, 5);
  EXPECT_FALSE(cube.images()[0].pixels.hasStorage());
  EXPECT_EQ(cube.size(), 6u);
  const std::vector<std::array<grImage2D, 6>> sets(2, faces);
  cube.setFaceSets(sets.begin(), sets.end(), 0, 2);
  ASSERT_EQ(cube.images().size(), 24u);
  EXPECT_EQ(cube.images()[18 + 5].width, 6);
  cube.setFaces(faces.data(), 0, 0);
  EXPECT_EQ(cube.images().size(), 6u);
}
