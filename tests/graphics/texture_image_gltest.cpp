// Image texture uploads on a real Mesa context: levels, formats and pixels
// as GL holds them for every branch (GLU building, generation, explicit
// levels; 1-D, 2-D, 3-D, cube maps), recorded call orders where the order
// or the absence of calls matters, and the images that must be skipped.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <array>
#include <cstdlib>
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
using namespace texturetest;

namespace {

using Bytes = std::vector<unsigned char>;
const void* const ptr = reinterpret_cast<const void*>(1);  // any non-null pointer prints "ptr"
const void* const null = nullptr;

class TextureUpload : public testsupport::GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    resetExtensionProbes();
    glGenTextures(1, &name);
    // Tightly packed test images (the photographs bring their own rows).
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  }
  void TearDown() override {
    glDeleteTextures(1, &name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    resetExtensionProbes();
    GLTest::TearDown();
  }
  GLuint name = 0;
};

GLint levelParameter(GLenum target, GLint level, GLenum parameter) {
  GLint value = 0;
  glGetTexLevelParameteriv(target, level, parameter, &value);
  return value;
}
GLint levelWidth(GLenum target, GLint level) {
  return levelParameter(target, level, GL_TEXTURE_WIDTH);
}

// Level contents as tight RGB bytes.
Bytes texImage(GLenum target, GLint level) {
  const size_t texels = size_t(levelWidth(target, level)) *
                        size_t(levelParameter(target, level, GL_TEXTURE_HEIGHT)) *
                        size_t(std::max(1, levelParameter(target, level, GL_TEXTURE_DEPTH)));
  Bytes rgb(texels * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(target, level, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  return rgb;
}

// An 8 x 8 BGR photograph, every pixel (b=10, g=20, r=30).
grImage2D photograph() { return image2D(8, 8, grLayoutBGR, grDepth8, solid(64, 10, 20, 30)); }

// 4 x 4 colour indices in a checker of 0 (red) and 1 (blue).
grImage2D paletteChecker() {
  Bytes indices;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) indices.push_back((x + y) % 2);
  grImage2D image = image2D(4, 4, grLayoutColorIndex, grDepth8, indices);
  redBluePalette(image.colorMaps);
  return image;
}

std::string stored(GLenum name, GLint value) { return glCall("glPixelStorei", name, value); }

}  // namespace

TEST_F(TextureUpload, PhotographTakesTheGluPathWithExactlyTheseCalls) {
  glBindTexture(GL_TEXTURE_2D, name);
  const grTexParams2D params(GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, GL_REPEAT, GL_REPEAT, 1.0f);
  grTexture2D texture;
  texture.setMipmapped(true);
  texture.setParams(&params);
  texture.setImage(photograph(), 0, 0);
  CallRecorder rec;
  texture.apply();
  const auto parameter = [](GLenum pname, GLint value) {
    return glCall("glTexParameteri", GLenum(GL_TEXTURE_2D), pname, value);
  };
  EXPECT_EQ(
      rec.calls(),
      (std::vector<std::string>{
          glCall("glPushClientAttrib", GLbitfield(GL_CLIENT_PIXEL_STORE_BIT)),
          stored(GL_UNPACK_ROW_LENGTH, 0), stored(GL_UNPACK_SKIP_PIXELS, 0),
          stored(GL_UNPACK_SKIP_ROWS, 0),
          // GLU runs with tight rows: the alignment in force is 1 here already.
          glCall("glGetIntegerv", GLenum(GL_UNPACK_ALIGNMENT), ptr),
          glCall("gluBuild2DMipmaps", GLenum(GL_TEXTURE_2D), GLint(GL_RGB), GLsizei(8), GLsizei(8),
                 GLenum(GL_BGR_EXT), GLenum(GL_UNSIGNED_BYTE), ptr),
          glCall("glPopClientAttrib"), parameter(GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR),
          parameter(GL_TEXTURE_MAG_FILTER, GL_LINEAR), parameter(GL_TEXTURE_WRAP_S, GL_REPEAT),
          parameter(GL_TEXTURE_WRAP_T, GL_REPEAT)}))
      << rec.dump();
  // The whole chain, in the right channel order.
  for (GLint level = 0; level <= 3; ++level)
    EXPECT_EQ(levelWidth(GL_TEXTURE_2D, level), 8 >> level);
  EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGB);
  const Bytes base = texImage(GL_TEXTURE_2D, 0);
  EXPECT_EQ((Bytes{base[0], base[1], base[2]}), (Bytes{30, 20, 10}));
  const Bytes top = texImage(GL_TEXTURE_2D, 3);
  EXPECT_EQ((Bytes{top[0], top[1], top[2]}), (Bytes{30, 20, 10}));
}

TEST_F(TextureUpload, AnImagesPixelStoreIsSentInsideItsEnvelope) {
  glBindTexture(GL_TEXTURE_2D, name);
  const grPixelStore rows4{false, 4};
  grImage2D image = photograph();
  image.pixelStore = &rows4;
  grTexture2D texture;
  texture.setMipmapped(true);
  texture.setImage(image, 0, 0);
  CallRecorder rec;
  texture.apply();
  ASSERT_GE(rec.calls().size(), 3u);
  EXPECT_EQ(rec.calls()[1], stored(GL_UNPACK_SWAP_BYTES, 0));
  EXPECT_EQ(rec.calls()[2], stored(GL_UNPACK_ALIGNMENT, 4));
  EXPECT_EQ(rec.calls().back(), glCall("glPopClientAttrib"));
}

TEST_F(TextureUpload, EmptyTextureIssuesNoCallNotEvenItsParameters) {
  const grTexParams2D params(GL_LINEAR, GL_LINEAR, GL_REPEAT, GL_REPEAT, 1.0f);
  const float color[4] = {1, 1, 1, 1};
  grTexture2D texture2D;
  texture2D.setParams(&params);
  texture2D.setBorderColor(color);
  grTexture1D texture1D;
  grTexture3D texture3D;
  grTextureCubeMap cube;
  CallRecorder rec;
  texture2D.apply();
  texture2D.update();
  texture1D.apply();
  texture3D.apply();
  cube.apply();
  EXPECT_TRUE(rec.calls().empty()) << rec.dump();
}

TEST_F(TextureUpload, PaletteImagesShowTheirColoursAtEveryGluLevel) {
  glBindTexture(GL_TEXTURE_2D, name);
  grTexture2D texture;
  texture.setMipmapped(true);
  texture.setImage(paletteChecker(), 0, 0);
  CallRecorder rec;
  texture.apply();
  const std::vector<std::string> mapping = rec.callsTo("glPixelTransferi");
  ASSERT_FALSE(mapping.empty());
  EXPECT_EQ(mapping.front(), glCall("glPixelTransferi", GLenum(GL_MAP_COLOR), GLint(1)));
  EXPECT_EQ(mapping.back(), glCall("glPixelTransferi", GLenum(GL_MAP_COLOR), GLint(0)));
  GLint mapColor = -1;
  glGetIntegerv(GL_MAP_COLOR, &mapColor);
  EXPECT_EQ(mapColor, 0);

  EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGB);
  const Bytes base = texImage(GL_TEXTURE_2D, 0);
  EXPECT_EQ((Bytes{base[0], base[1], base[2]}), (Bytes{255, 0, 0}));  // index 0
  EXPECT_EQ((Bytes{base[3], base[4], base[5]}), (Bytes{0, 0, 255}));  // index 1
  // Averaged colours, not averaged indices: purple, not grey.
  ASSERT_EQ(levelWidth(GL_TEXTURE_2D, 1), 2);
  const Bytes half = texImage(GL_TEXTURE_2D, 1);
  EXPECT_NEAR(half[0], 127, 2);
  EXPECT_LE(half[1], 1);
  EXPECT_NEAR(half[2], 127, 2);
  EXPECT_EQ(levelWidth(GL_TEXTURE_2D, 2), 1);
}

TEST_F(TextureUpload, ColourMapsOfTheFirstImageHoldForTheWholeUpload) {
  glBindTexture(GL_TEXTURE_2D, name);
  grTexture2D texture;
  grImage2D level0 = paletteChecker();
  grImage2D level1 = image2D(2, 2, grLayoutColorIndex, grDepth8, {1, 1, 1, 1});
  level1.colorMaps.setSize(4);  // other maps: never loaded
  for (int i = 0; i < 4; ++i) *level1.colorMaps.green.at(i) = *level1.colorMaps.red.at(i) = 65535;
  for (int i = 0; i < 4; ++i) *level1.colorMaps.blue.at(i) = 65535;
  const std::array<grImage2D, 2> levels = {level0, level1};
  texture.setImages(levels.begin(), levels.end(), 0, 0);
  CallRecorder rec;
  texture.apply();
  EXPECT_EQ(rec.count("glPixelMapusv"), 3u) << rec.dump();
  EXPECT_EQ(rec.callsTo("glPixelTransferi"),
            (std::vector<std::string>{glCall("glPixelTransferi", GLenum(GL_MAP_COLOR), GLint(1)),
                                      glCall("glPixelTransferi", GLenum(GL_MAP_COLOR), GLint(0))}));
  // Level 1 went through the first image's maps: index 1 is blue.
  const Bytes half = texImage(GL_TEXTURE_2D, 1);
  EXPECT_EQ((Bytes{half[0], half[1], half[2]}), (Bytes{0, 0, 255}));
}

TEST_F(TextureUpload, ExplicitLevelsAreDefinedSquareFromTheSizeAndFilled) {
  glBindTexture(GL_TEXTURE_2D, name);
  grTexture2D texture;
  const std::array<grImage2D, 2> levels = {
      image2D(4, 2, grLayoutRGB, grDepth8, solid(8, 200, 0, 0)),
      image2D(2, 2, grLayoutRGB, grDepth8, solid(4, 0, 200, 0))};
  texture.setImages(levels.begin(), levels.end(), 0, 0);
  CallRecorder rec;
  texture.apply();
  EXPECT_EQ(rec.callsTo("glTexImage2D")[0],
            glCall("glTexImage2D", GLenum(GL_TEXTURE_2D), GLint(0), GLint(GL_RGB8), GLsizei(4),
                   GLsizei(4), GLint(0), GLenum(GL_RGB), GLenum(GL_UNSIGNED_BYTE), null));
  EXPECT_EQ(rec.callsTo("glTexSubImage2D")[0],
            glCall("glTexSubImage2D", GLenum(GL_TEXTURE_2D), GLint(0), GLint(0), GLint(0),
                   GLsizei(4), GLsizei(2), GLenum(GL_RGB), GLenum(GL_UNSIGNED_BYTE), ptr));
  EXPECT_EQ(levelWidth(GL_TEXTURE_2D, 0), 4);
  EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT), 4);
  EXPECT_EQ(levelWidth(GL_TEXTURE_2D, 1), 2);
  EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGB8);
  EXPECT_EQ(texImage(GL_TEXTURE_2D, 0)[0], 200);
  EXPECT_EQ(texImage(GL_TEXTURE_2D, 1)[1], 200);
}

TEST_F(TextureUpload, GenerationDefinesLevelZeroAndGLBuildsTheRest) {
  ASSERT_TRUE(probeGenerateMipmap());
  glBindTexture(GL_TEXTURE_2D, name);
  grTexture2D texture;
  texture.setMipmapped(true);
  Bytes checker;  // red / blue columns
  for (int i = 0; i < 16; ++i)
    checker.insert(checker.end(),
                   {(unsigned char)(i % 2 ? 0 : 255), 0, (unsigned char)(i % 2 ? 255 : 0)});
  texture.setImage(image2D(4, 4, grLayoutRGB, grDepth8, checker), 0, 0);
  CallRecorder rec;
  texture.apply();
  EXPECT_EQ(rec.count("gluBuild2DMipmaps"), 0u) << rec.dump();
  const std::vector<std::string> switches = rec.callsTo("glTexParameteri");
  ASSERT_EQ(switches.size(), 2u) << rec.dump();
  EXPECT_EQ(switches[0], glCall("glTexParameteri", GLenum(GL_TEXTURE_2D),
                                GLenum(GL_GENERATE_MIPMAP_SGIS), GLint(GL_TRUE)));
  EXPECT_EQ(switches[1], glCall("glTexParameteri", GLenum(GL_TEXTURE_2D),
                                GLenum(GL_GENERATE_MIPMAP_SGIS), GLint(GL_FALSE)));
  GLint generate = -1;
  glGetTexParameteriv(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, &generate);
  EXPECT_EQ(generate, GL_FALSE);
  EXPECT_EQ(levelWidth(GL_TEXTURE_2D, 2), 1);
  const Bytes half = texImage(GL_TEXTURE_2D, 1);
  EXPECT_NEAR(half[0], 127, 2);
  EXPECT_NEAR(half[2], 127, 2);
}

TEST_F(TextureUpload, GenerationAlsoGivesPaletteImagesTheirColours) {
  ASSERT_TRUE(probeGenerateMipmap());
  glBindTexture(GL_TEXTURE_2D, name);
  grTexture2D texture;
  texture.setMipmapped(true);
  texture.setImage(paletteChecker(), 0, 0);
  texture.apply();
  const Bytes half = texImage(GL_TEXTURE_2D, 1);
  EXPECT_NEAR(half[0], 127, 2);
  EXPECT_NEAR(half[2], 127, 2);
}

TEST_F(TextureUpload, FillerEntriesAreSkippedAndTheImageLandsAtItsLevel) {
  glBindTexture(GL_TEXTURE_2D, name);
  grTexture2D texture;
  texture.setImage(image2D(2, 2, grLayoutRGB, grDepth8, solid(4, 1, 2, 3)), 8, 2);
  CallRecorder rec;
  texture.apply();
  EXPECT_EQ(rec.count("glPushClientAttrib"), 1u) << rec.dump();
  EXPECT_EQ(rec.callsTo("glTexImage2D"),
            (std::vector<std::string>{glCall("glTexImage2D", GLenum(GL_TEXTURE_2D), GLint(2),
                                             GLint(GL_RGB8), GLsizei(2), GLsizei(2), GLint(0),
                                             GLenum(GL_RGB), GLenum(GL_UNSIGNED_BYTE), null)}));
  EXPECT_EQ(levelWidth(GL_TEXTURE_2D, 0), 0);
  EXPECT_EQ(levelWidth(GL_TEXTURE_2D, 2), 2);
  EXPECT_EQ(texImage(GL_TEXTURE_2D, 2)[2], 3);
}

TEST_F(TextureUpload, ImagesGLWouldReadPastAreSkipped) {
  glBindTexture(GL_TEXTURE_2D, name);
  grImage2D tooShort = photograph();
  tooShort.pixels.length = 8 * 8 * 3 - 1;
  grImage2D skipsPastTheEnd = photograph();
  skipsPastTheEnd.unpack.skipRows = 1;
  grImage2D longRows = photograph();
  longRows.unpack.rowLength = 9;
  grImage2D negative = photograph();
  negative.height = -8;
  grImage2D empty = photograph();
  empty.width = 0;
  for (const grImage2D& image : {tooShort, skipsPastTheEnd, longRows, negative, empty}) {
    for (bool mipmapped : {true, false}) {
      grTexture2D texture;
      texture.setMipmapped(mipmapped);
      texture.setImage(image, 8, 0);
      CallRecorder rec;
      texture.apply();
      EXPECT_EQ(rec.count("glPushClientAttrib"), 0u) << rec.dump();
      EXPECT_EQ(rec.count("gluBuild2DMipmaps") + rec.count("glTexSubImage2D"), 0u) << rec.dump();
    }
  }
  EXPECT_EQ(levelWidth(GL_TEXTURE_2D, 0), 0);
  // The same window with room to spare for the skip is sent.
  grImage2D roomy = image2D(8, 7, grLayoutBGR, grDepth8, solid(64, 10, 20, 30));
  roomy.unpack.skipRows = 1;
  grTexture2D texture;
  texture.setImage(roomy, 8, 0);
  texture.apply();
  EXPECT_EQ(levelWidth(GL_TEXTURE_2D, 0), 8);
}

TEST_F(TextureUpload, TheAlignmentInForceDecidesWhetherRowsFit) {
  glBindTexture(GL_TEXTURE_2D, name);
  // 3 x 2 RGB: 9-byte rows; 21 bytes hold them at alignment 4, not at 8.
  const grImage2D image = image2D(3, 2, grLayoutRGB, grDepth8, Bytes(21, 90));
  for (GLint alignment : {8, 4}) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    grTexture2D texture;
    texture.setImage(image, 4, 0);
    CallRecorder rec;
    texture.apply();
    EXPECT_EQ(rec.count("glTexSubImage2D"), alignment == 4 ? 1u : 0u) << rec.dump();
  }
  // An image's own alignment counts instead of GL's.
  const grPixelStore tight{false, 1};
  grImage2D packed = image2D(3, 2, grLayoutRGB, grDepth8, Bytes(18, 90));
  packed.pixelStore = &tight;
  glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
  grTexture2D texture;
  texture.setImage(packed, 4, 0);
  CallRecorder rec;
  texture.apply();
  EXPECT_EQ(rec.count("glTexSubImage2D"), 1u) << rec.dump();
  EXPECT_EQ(rec.count("glGetIntegerv"), 0u) << rec.dump();
}

TEST_F(TextureUpload, UnresolvableImagesAreSkippedAndTheRestProceeds) {
  glBindTexture(GL_TEXTURE_2D, name);
  const grTexParams2D params(GL_NEAREST, GL_NEAREST, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE, 1.0f);
  grTexture2D texture;
  texture.setParams(&params);
  const std::array<grImage2D, 3> levels = {
      image2D(4, 4, grLayoutRGB, grDepth8, solid(16, 1, 2, 3)),
      image2D(2, 2, grLayoutTwoComponent, grDepth8, Bytes(8)),               // layout 14: no rows
      image2D(1, 1, grLayoutLuminance, grDepth1, Bytes(4), grClassSigned)};  // no row either
  texture.setImages(levels.begin(), levels.end(), 0, 0);
  CallRecorder rec;
  texture.apply();
  EXPECT_EQ(rec.count("glPushClientAttrib"), 1u) << rec.dump();
  EXPECT_EQ(rec.count("glTexParameteri"), 4u) << rec.dump();
  EXPECT_EQ(levelWidth(GL_TEXTURE_2D, 0), 4);
  EXPECT_EQ(levelWidth(GL_TEXTURE_2D, 1), 0);
}

TEST_F(TextureUpload, UpdateResendsPixelsWithoutRedefiningLevels) {
  glBindTexture(GL_TEXTURE_2D, name);
  grTexture2D texture;
  grImage2D image = image2D(2, 2, grLayoutRGB, grDepth8, solid(4, 5, 6, 7));
  texture.setImage(image, 0, 0);
  texture.apply();
  image.pixels.begin()[0] = 99;  // shared storage: the texture sees it
  CallRecorder rec;
  texture.update();
  EXPECT_EQ(rec.count("glTexImage2D"), 0u) << rec.dump();
  EXPECT_EQ(rec.count("glTexSubImage2D"), 1u) << rec.dump();
  EXPECT_EQ(texImage(GL_TEXTURE_2D, 0)[0], 99);

  texture.setMipmapped(true);
  rec.clear();
  texture.update();  // no generation probed: GLU rebuilds the chain
  EXPECT_EQ(rec.count("gluBuild2DMipmaps"), 1u) << rec.dump();
  EXPECT_EQ(levelWidth(GL_TEXTURE_2D, 1), 1);
}

TEST_F(TextureUpload, BorderLevelsHoldTheImagesInterior) {
  glBindTexture(GL_TEXTURE_2D, name);
  grTexture2D texture;
  texture.setBorder(true);
  Bytes bordered = solid(36, 0, 0, 0);  // 6 x 6 with a black border around 4 x 4 white
  for (int y = 1; y < 5; ++y)
    for (int x = 1; x < 5; ++x)
      for (int c = 0; c < 3; ++c) bordered[(y * 6 + x) * 3 + c] = 255;
  texture.setImage(image2D(6, 6, grLayoutRGB, grDepth8, bordered), 0, 0);
  texture.apply();
  // Mesa keeps no borders: it strips them, leaving the 4 x 4 interior.
  const GLint width = levelWidth(GL_TEXTURE_2D, 0);
  const GLint border = levelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_BORDER);
  EXPECT_EQ(width, 4 + 2 * border);
  const Bytes texels = texImage(GL_TEXTURE_2D, 0);
  EXPECT_EQ(texels[(border * width + border) * 3], 255);
}

TEST_F(TextureUpload, CompressedImagesNeedCompressionAndGoAsTheyStand) {
  glBindTexture(GL_TEXTURE_2D, name);
  // RGTC1 red: one 4 x 4 block of 8 bytes, described as 8-bit red.
  grImage2D block = image2D(4, 4, grLayoutRed, grDepth8, {255, 0, 0, 0, 0, 0, 0, 0});
  block.compressed = true;
  grTexture2D texture;
  texture.setImage(block, 0, 0);
  {
    CallRecorder rec;
    texture.apply();  // compression not probed: only the envelope
    EXPECT_EQ(rec.calls(), (std::vector<std::string>{
                               glCall("glPushClientAttrib", GLbitfield(GL_CLIENT_PIXEL_STORE_BIT)),
                               stored(GL_UNPACK_ROW_LENGTH, 0), stored(GL_UNPACK_SKIP_PIXELS, 0),
                               stored(GL_UNPACK_SKIP_ROWS, 0), glCall("glPopClientAttrib")}));
  }
  ASSERT_NE(probeTextureCompression(), nullptr);
  static std::vector<std::string> sent;
  static PFNGLCOMPRESSEDTEXIMAGE2DARBPROC real;
  sent.clear();
  real = grCompressedTexImage2D;
  grCompressedTexImage2D = [](GLenum target, GLint level, GLenum internal, GLsizei w, GLsizei h,
                              GLint border, GLsizei bytes, const void* data) {
    sent.push_back(glCall("compressed", target, level, internal, w, h, border, bytes, data));
    real(target, level, internal, w, h, border, bytes, data);
  };
  texture.apply();
  EXPECT_EQ(sent, (std::vector<std::string>{glCall("compressed", GLenum(GL_TEXTURE_2D), GLint(0),
                                                   GLenum(GL_RED), GLsizei(4), GLsizei(4), GLint(0),
                                                   GLsizei(8), ptr)}));
  // GL_RED names no compressed format: GL refuses the data it was handed.
  EXPECT_EQ(glGetError(), GLenum(GL_INVALID_ENUM));
}

TEST_F(TextureUpload, CompressFlagAsksForCompressedAlphaOnly) {
  ASSERT_NE(probeTextureCompression(), nullptr);
  glBindTexture(GL_TEXTURE_2D, name);
  grTexture2D texture;
  texture.setCompress(true);
  texture.setImage(image2D(4, 4, grLayoutAlpha, grDepth8, Bytes(16, 200), grClassSigned), 0, 0);
  CallRecorder rec;
  texture.apply();
  EXPECT_EQ(rec.callsTo("glTexImage2D")[0],
            glCall("glTexImage2D", GLenum(GL_TEXTURE_2D), GLint(0), GLint(GL_COMPRESSED_ALPHA_ARB),
                   GLsizei(4), GLsizei(4), GLint(0), GLenum(GL_ALPHA), GLenum(GL_BYTE), null));
  EXPECT_EQ(levelWidth(GL_TEXTURE_2D, 0), 4);
  grTexture2D colour;
  colour.setCompress(true);
  colour.setImage(image2D(4, 4, grLayoutRGB, grDepth8, solid(16, 1, 2, 3)), 0, 0);
  rec.clear();
  colour.apply();
  EXPECT_EQ(rec.callsTo("glTexImage2D")[0],
            glCall("glTexImage2D", GLenum(GL_TEXTURE_2D), GLint(0), GLint(GL_RGB8), GLsizei(4),
                   GLsizei(4), GLint(0), GLenum(GL_RGB), GLenum(GL_UNSIGNED_BYTE), null));
}

TEST_F(TextureUpload, OneDimensionalLevelsAndGluChains) {
  glBindTexture(GL_TEXTURE_1D, name);
  const grTexParams1D params(GL_NEAREST, GL_NEAREST, GL_CLAMP_TO_EDGE);
  grTexture1D texture;
  texture.setParams(&params);
  const std::array<grImage1D, 2> levels = {image1D(4, grLayoutRGB, grDepth8, solid(4, 9, 8, 7)),
                                           image1D(2, grLayoutRGB, grDepth8, solid(2, 1, 2, 3))};
  texture.setImages(levels.begin(), levels.end(), 0, 0);
  CallRecorder rec;
  texture.apply();
  EXPECT_EQ(rec.count("glTexImage1D"), 2u) << rec.dump();
  EXPECT_EQ(rec.callsTo("glTexSubImage1D")[1],
            glCall("glTexSubImage1D", GLenum(GL_TEXTURE_1D), GLint(1), GLint(0), GLsizei(2),
                   GLenum(GL_RGB), GLenum(GL_UNSIGNED_BYTE), ptr));
  EXPECT_EQ(levelWidth(GL_TEXTURE_1D, 1), 2);
  EXPECT_EQ(texImage(GL_TEXTURE_1D, 1)[2], 3);
  GLint wrap = 0;
  glGetTexParameteriv(GL_TEXTURE_1D, GL_TEXTURE_WRAP_S, &wrap);
  EXPECT_EQ(wrap, GL_CLAMP_TO_EDGE);

  grTexture1D chain;
  chain.setMipmapped(true);
  grImage1D palette = image1D(4, grLayoutColorIndex, grDepth8, {0, 1, 0, 1});
  redBluePalette(palette.colorMaps);
  chain.setImage(palette, 0, 0);
  chain.apply();
  EXPECT_EQ(levelWidth(GL_TEXTURE_1D, 2), 1);
  const Bytes base = texImage(GL_TEXTURE_1D, 0);
  EXPECT_EQ((Bytes{base[3], base[4], base[5]}), (Bytes{0, 0, 255}));
  const Bytes half = texImage(GL_TEXTURE_1D, 1);
  EXPECT_NEAR(half[0], 127, 2);
  EXPECT_NEAR(half[2], 127, 2);

  grTexture1D plain;
  plain.setMipmapped(true);
  plain.setImage(image1D(8, grLayoutRGB, grDepth8, solid(8, 4, 5, 6)), 0, 0);
  rec.clear();
  plain.apply();
  EXPECT_EQ(rec.callsTo("gluBuild1DMipmaps"),
            (std::vector<std::string>{glCall("gluBuild1DMipmaps", GLenum(GL_TEXTURE_1D),
                                             GLint(GL_RGB8), GLsizei(8), GLenum(GL_RGB),
                                             GLenum(GL_UNSIGNED_BYTE), ptr)}));
  EXPECT_EQ(levelWidth(GL_TEXTURE_1D, 3), 1);
}

TEST_F(TextureUpload, ThreeDimensionalUploadNeedsItsEntryPoints) {
  glBindTexture(GL_TEXTURE_3D, name);
  const grTexParams3D params(GL_NEAREST, GL_NEAREST, GL_REPEAT, GL_REPEAT, GL_CLAMP_TO_EDGE, 1.0f);
  grTexture3D texture;
  texture.setParams(&params);
  texture.setImage(image3D(2, 2, 2, grLayoutRGB, grDepth8, solid(8, 50, 60, 70)), 0, 0);
  CallRecorder rec;
  texture.apply();  // not probed: no image, parameters only
  EXPECT_EQ(rec.count("glPushClientAttrib"), 0u) << rec.dump();
  EXPECT_EQ(rec.count("glTexParameteri"), 5u) << rec.dump();
  EXPECT_EQ(levelWidth(GL_TEXTURE_3D, 0), 0);

  ASSERT_NE(probeTexture3D(), nullptr);
  texture.apply();
  EXPECT_EQ(levelWidth(GL_TEXTURE_3D, 0), 2);
  EXPECT_EQ(levelParameter(GL_TEXTURE_3D, 0, GL_TEXTURE_DEPTH), 2);
  const Bytes texels = texImage(GL_TEXTURE_3D, 0);
  EXPECT_EQ((Bytes{texels[21], texels[22], texels[23]}), (Bytes{50, 60, 70}));

  // Mipmapped: level 0 only without generation, the whole chain with it.
  grTexture3D chain;
  chain.setMipmapped(true);
  chain.setImage(image3D(4, 4, 4, grLayoutRGB, grDepth8, solid(64, 1, 2, 3)), 0, 0);
  chain.apply();
  EXPECT_EQ(levelWidth(GL_TEXTURE_3D, 0), 4);
  EXPECT_EQ(levelWidth(GL_TEXTURE_3D, 1), 0);
  ASSERT_TRUE(probeGenerateMipmap());
  chain.setImage(image3D(4, 4, 4, grLayoutRGBA, grDepth8, Bytes(256, 40)), 0, 0);
  chain.apply();
  EXPECT_EQ(levelWidth(GL_TEXTURE_3D, 2), 1);
}

TEST_F(TextureUpload, CubeMapFacesLandOnTheirTargets) {
  glBindTexture(GL_TEXTURE_CUBE_MAP, name);
  grTextureCubeMap cube;
  std::array<grImage2D, 6> faces;
  for (int k = 0; k < 6; ++k)
    faces[k] = image2D(2, 2, grLayoutRGB, grDepth8, solid(4, (unsigned char)(10 * k + 10), 0, 0));
  cube.setFaces(faces.data(), 0, 0);
  cube.apply();
  for (int k = 0; k < 6; ++k) {
    const GLenum face = GL_TEXTURE_CUBE_MAP_POSITIVE_X + k;
    ASSERT_EQ(levelWidth(face, 0), 2) << k;
    EXPECT_EQ(texImage(face, 0)[0], 10 * k + 10) << k;
  }

  // Five entries make no complete level: parameters only.
  const grTexParamsCubeMap params(GL_NEAREST, GL_NEAREST, 1.0f);
  grTextureCubeMap partial;
  partial.setParams(&params);
  partial.setImages(faces.begin(), faces.begin() + 5, 0, 0);
  CallRecorder rec;
  partial.apply();
  EXPECT_EQ(rec.count("glPushClientAttrib"), 0u) << rec.dump();
  EXPECT_EQ(rec.count("glTexParameteri"), 2u) << rec.dump();
}

TEST_F(TextureUpload, MipmappedCubeMapsBuildEachFaceAndSkipIncompleteLevels) {
  glBindTexture(GL_TEXTURE_CUBE_MAP, name);
  grTextureCubeMap cube;
  cube.setMipmapped(true);
  std::vector<grImage2D> entries;
  for (int k = 0; k < 6; ++k)
    entries.push_back(
        image2D(4, 4, grLayoutRGB, grDepth8, solid(16, 0, (unsigned char)(k * 40), 0)));
  entries.push_back(image2D(2, 2, grLayoutRGB, grDepth8, solid(4, 255, 255, 255)));  // 7 entries
  cube.setImages(entries.begin(), entries.end(), 0, 0);
  CallRecorder rec;
  cube.apply();
  const std::vector<std::string> builds = rec.callsTo("gluBuild2DMipmaps");
  ASSERT_EQ(builds.size(), 6u) << rec.dump();
  EXPECT_EQ(builds[5],
            glCall("gluBuild2DMipmaps", GLenum(GL_TEXTURE_CUBE_MAP_NEGATIVE_Z), GLint(GL_RGB8),
                   GLsizei(4), GLsizei(4), GLenum(GL_RGB), GLenum(GL_UNSIGNED_BYTE), ptr));
  EXPECT_EQ(rec.count("glTexImage2D"), 0u) << rec.dump();  // the lone 7th entry is ignored
  EXPECT_EQ(texImage(GL_TEXTURE_CUBE_MAP_POSITIVE_Z, 1)[1], 160);

  ASSERT_TRUE(probeGenerateMipmap());
  rec.clear();
  cube.apply();
  EXPECT_EQ(rec.count("gluBuild2DMipmaps"), 0u) << rec.dump();
  EXPECT_EQ(rec.callsTo("glTexParameteri").size(), 12u) << rec.dump();  // on and off per face
  EXPECT_EQ(levelWidth(GL_TEXTURE_CUBE_MAP_NEGATIVE_Y, 2), 1);
}

TEST_F(TextureUpload, PaddedAndSkippedIndexRowsKeepTheirPlaces) {
  glBindTexture(GL_TEXTURE_2D, name);
  // 3 x 2 indices in rows padded to 4 bytes, after one skipped row and pixel.
  const grPixelStore rows4{false, 4};
  grImage2D indices =
      image2D(3, 2, grLayoutColorIndex, grDepth8, {9, 9, 9, 9, /**/ 9, 0, 1, 0, /**/ 9, 1, 0, 1});
  indices.pixelStore = &rows4;
  indices.unpack.skipRows = 1;
  indices.unpack.skipPixels = 1;
  redBluePalette(indices.colorMaps);
  // The same picture as one-bit indices, most significant bit first.
  grImage2D bits = image2D(3, 2, grLayoutColorIndex, grDepth1, {0x40, 0, 0, 0, 0xA0, 0, 0, 0});
  bits.pixelStore = &rows4;
  redBluePalette(bits.colorMaps);
  for (const grImage2D& image : {indices, bits}) {
    grTexture2D texture;
    texture.setImage(image, 4, 0);
    texture.apply();
    const Bytes texels = texImage(GL_TEXTURE_2D, 0);  // 4 x 4
    const auto blue = [&](int x, int y) { return texels[(y * 4 + x) * 3 + 2] == 255; };
    EXPECT_FALSE(blue(0, 0));
    EXPECT_TRUE(blue(1, 0));
    EXPECT_FALSE(blue(2, 0));
    EXPECT_TRUE(blue(0, 1));
    EXPECT_FALSE(blue(1, 1));
    EXPECT_TRUE(blue(2, 1));
  }
  GLint alignment = 0;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  EXPECT_EQ(alignment, 1);  // the envelope put the fixture's setting back
}

namespace {

enum { kGenerate = 1, k3D = 2 };  // probes run before the upload

// An upload of `entries` copies of one image, `width` x `height` (3-D:
// `height` deep as well), grey throughout or, with `border`, black around
// grey; `problem` is what the texture must tell of level 0 ("" for sent).
struct UploadCase {
  int dimension, probes;  // dimension 6: a cube map
  bool mipmapped;
  int width, height;
  unsigned size, entries;
  const char* problem;
  bool border = false;
  uint32_t layout = grLayoutRGB, componentClass = grClassUnsigned, depthCode = grDepth8;
  bool compressed = false;
};

void setSides(grImage1D& image, int width, int) { image.width = width; }
void setSides(grImage2D& image, int width, int height) {
  image.width = width;
  image.height = height;
}
void setSides(grImage3D& image, int width, int height) {
  image.width = width;
  image.height = image.depth = height;
}

template <typename Image>
Image caseImage(const UploadCase& c, int dims, unsigned char grey) {
  const int w = c.width, h = c.height, count = w * (dims > 1 ? h : 1) * (dims > 2 ? h : 1);
  Bytes texels;
  for (int i = 0; i < count; ++i) {
    const int at[3] = {i % w, i / w % h, i / w / h}, ends[3] = {w, h, h};
    bool edge = false;
    for (int d = 0; d < dims; ++d) edge = edge || at[d] == 0 || at[d] == ends[d] - 1;
    texels.insert(texels.end(), 3, c.border && edge ? 0 : grey);
  }
  texels.resize(size_t(count) * 8, grey);  // room for wider pixels
  Image image = imageOf<Image>(c.layout, c.depthCode, texels, c.componentClass);
  setSides(image, w, h);
  image.compressed = c.compressed;
  return image;
}

// Whether level 0 of `target` holds `grey` in its corner, as far as an
// interior of `width` x `height` (x `height`) reaches within the level.
bool cornerHolds(GLenum target, int dims, int width, int height, unsigned char grey) {
  const GLint w = levelWidth(target, 0), h = levelParameter(target, 0, GL_TEXTURE_HEIGHT);
  const Bytes texels = texImage(target, 0);
  for (size_t i = 0; i < texels.size(); i += 3) {
    const GLint t = GLint(i / 3), at[3] = {t % w, t / w % h, t / w / h};
    const int ends[3] = {width, height, height};
    bool inside = true;
    for (int d = 0; d < dims; ++d) inside = inside && at[d] < ends[d];
    if (inside && texels[i] != grey) return false;
  }
  return !texels.empty();
}

// apply() with the image in grey 200, then update() in grey 100, into a
// fresh texture: each must tell the case's problem, and GL must hold the
// image's interior at the corner of level 0 (of every face) exactly when
// the texture tells it was sent.
template <typename Texture>
void checkUpload(Texture texture, const UploadCase& c) {
  using Image = typename std::remove_reference_t<decltype(texture.images())>::value_type;
  const int dims = c.dimension == 6 ? 2 : c.dimension, faces = c.dimension == 6 ? 6 : 1;
  const GLenum target = targetForDimension(c.dimension);
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(target, name);
  texture.setBorder(c.border);
  texture.setMipmapped(c.mipmapped);
  EXPECT_FALSE(texture.baseLevelSent()) << "before any upload";
  for (const unsigned char grey : {200, 100}) {
    const char* what = grey == 200 ? "apply" : "update";
    const std::vector<Image> images(c.entries, caseImage<Image>(c, dims, grey));
    texture.setImages(images.begin(), images.end(), c.size, 0);
    grey == 200 ? texture.apply() : texture.update();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << what;
    EXPECT_EQ(texture.baseLevelProblem(), c.problem) << what;
    bool held = true;
    for (int k = 0; k < faces; ++k)
      held = held && cornerHolds(faces == 6 ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + k : target, dims,
                                 c.width - 2 * c.border, c.height - 2 * c.border, grey);
    EXPECT_EQ(held, texture.baseLevelSent()) << what;
  }
  glDeleteTextures(1, &name);
}

template <size_t n>
void checkUploads(const UploadCase (&cases)[n]) {
  for (const UploadCase& c : cases) {
    SCOPED_TRACE("dimension " + std::to_string(c.dimension) + ", " + std::to_string(c.width) +
                 " x " + std::to_string(c.height) + (c.mipmapped ? ", mipmapped" : "") +
                 (c.probes & kGenerate ? ", generated" : "") + (c.border ? ", border" : ""));
    resetExtensionProbes();
    ASSERT_TRUE(!(c.probes & kGenerate) || probeGenerateMipmap());
    ASSERT_TRUE(!(c.probes & k3D) || probeTexture3D());
    if (c.dimension == 1) checkUpload(grTexture1D(), c);
    if (c.dimension == 2) checkUpload(grTexture2D(), c);
    if (c.dimension == 3) checkUpload(grTexture3D(), c);
    if (c.dimension == 6) checkUpload(grTextureCubeMap(), c);
  }
}

}  // namespace

TEST_F(TextureUpload, BorderedImagesLandInTheirLevelsAndUpdateRefreshesThem) {
  const UploadCase cases[] = {
      // images that cover their levels exactly, then smaller ones
      {1, 0, false, 6, 1, 0, 1, "", true},         {1, kGenerate, true, 10, 1, 0, 1, "", true},
      {2, 0, false, 6, 6, 0, 1, "", true},         {2, kGenerate, true, 6, 6, 0, 1, "", true},
      {3, k3D, false, 6, 6, 0, 1, "", true},       {3, k3D | kGenerate, true, 6, 6, 0, 1, "", true},
      {6, 0, false, 6, 6, 0, 6, "", true},         {1, 0, false, 4, 1, 10, 1, "", true},
      {1, kGenerate, true, 4, 1, 10, 1, "", true}, {2, 0, false, 4, 4, 10, 1, "", true},
      {2, kGenerate, true, 4, 4, 10, 1, "", true}, {3, k3D, false, 4, 4, 10, 1, "", true},
      {6, 0, false, 4, 4, 10, 6, "", true}};
  checkUploads(cases);
}

TEST_F(TextureUpload, BorderedOneDimensionalChainsSizeEveryLevelByOneRule) {
  glBindTexture(GL_TEXTURE_1D, name);
  for (const bool generated : {true, false}) {
    SCOPED_TRACE(generated ? "generated" : "GLU");
    resetExtensionProbes();
    ASSERT_TRUE(!generated || probeGenerateMipmap());
    grTexture1D texture;
    texture.setMipmapped(true);
    texture.setBorder(true);
    const std::array<grImage1D, 2> levels = {
        caseImage<grImage1D>({1, 0, true, 8, 1, 0, 1, "", true}, 1, 200),
        caseImage<grImage1D>({1, 0, true, 6, 1, 0, 1, "", true}, 1, 100)};
    texture.setImages(levels.begin(), levels.end(), 0, 0);  // size 8
    texture.apply();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    for (GLint level = 0; level <= 3; ++level)
      EXPECT_EQ(levelWidth(GL_TEXTURE_1D, level), 8 >> level) << "level " << level;
    EXPECT_EQ(texImage(GL_TEXTURE_1D, 1), Bytes(12, 100));  // the level-1 image's interior
  }
}

TEST_F(TextureUpload, EveryTextureTellsWhetherItsBaseLevelGotAnImage) {
  const UploadCase cases[] = {
      {2, 0, true, 420, 276, 0, 1, ""},  // GLU scales it
      {2, 0, false, 420, 276, 0, 1, "the 420 x 276 image is larger than its 256 x 256 level"},
      {2, kGenerate, true, 4, 4, 0, 1, ""},
      {2, kGenerate, true, 8, 8, 4, 1, "the 8 x 8 image is larger than its 4 x 4 level"},
      {2, 0, false, 4, 4, 0, 1,
       "the image's description (layout 14, class 1, depth code 3) resolves to no GL format", false,
       grLayoutTwoComponent},
      {2, 0, false, 4, 4, 0, 1,
       "the image is compressed and texture compression is not available "
       "(probeTextureCompression)",
       false, grLayoutRed, grClassUnsigned, grDepth8, true},
      {2, 0, true, 4, 4, 0, 1, "GLU refused the image: invalid enumerant", false, grLayoutRGB,
       grClassFloat, grDepth16},  // half floats
      {1, 0, true, 300, 1, 0, 1, ""},
      {1, 0, false, 300, 1, 0, 1, "the 300-wide image is larger than its 256-wide level"},
      {3, k3D, false, 2, 2, 0, 1, ""},
      {3, 0, false, 2, 2, 0, 1, "the 3-D entry points were not fetched (probeTexture3D)"},
      {6, 0, false, 4, 4, 0, 6, ""},
      {6, 0, false, 4, 4, 0, 5, "its 5 images make no complete level of six faces"},
      {6, 0, true, 4, 4, 0, 5, "face -Z: there is no image"}};
  checkUploads(cases);
  grTexture2D empty;
  empty.apply();
  EXPECT_EQ(empty.baseLevelProblem(), "the texture holds no image");
}
