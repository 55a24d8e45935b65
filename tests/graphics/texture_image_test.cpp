// Generation support and the image-setting rules of the image textures (no GL
// calls involved).
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <array>
#include <vector>

#include "graphics/texture_image.h"
#include "tests/graphics/texture_test_helpers.h"

using namespace libgr;
using texturetest::image1D;
using texturetest::image2D;
using texturetest::image3D;

TEST(SupportsGenerateMipmap, OnlyTheListedFormats) {
  for (GLenum yes : {GL_RGB, GL_RGBA, GL_RGB5, GL_RGB8, GL_RGBA8, GL_BGR_EXT, GL_BGRA_EXT})
    EXPECT_TRUE(supportsGenerateMipmap(yes)) << std::hex << yes;
  for (GLenum no : {GL_ALPHA, GL_LUMINANCE8, GL_RGB4, GL_COLOR_INDEX, GL_DEPTH_COMPONENT24})
    EXPECT_FALSE(supportsGenerateMipmap(no)) << std::hex << no;
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
