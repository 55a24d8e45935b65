// Extension probes on a real Mesa context: flags, fetched entry points that
// really reach the driver, and probes that find the extension named but get
// no entry point.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "graphics/extensions.h"
#include "tests/support/gl_context.h"

using namespace libgr;

namespace {

class ExtensionProbe : public testsupport::GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    resetExtensionProbes();
  }
  void TearDown() override {
    resetExtensionProbes();
    GLTest::TearDown();
  }
};

grProc noEntryPoints(const char*) { return nullptr; }

grProc allButTexSubImage3D(const char* name) {
  return std::strcmp(name, "glTexSubImage3DEXT") == 0 ? nullptr : glProcAddress(name);
}

grProc allButGetCompressed(const char* name) {
  return std::strcmp(name, "glGetCompressedTexImageARB") == 0 ? nullptr : glProcAddress(name);
}

}  // namespace

TEST_F(ExtensionProbe, HasExtensionReadsTheContextsList) {
  const std::string list = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  ASSERT_NE(list.find("GL_ARB_texture_compression "), std::string::npos);
  EXPECT_TRUE(hasExtension("GL_ARB_texture_compression"));
  EXPECT_FALSE(hasExtension("GL_ARB_texture"));  // a prefix of several names
  EXPECT_FALSE(hasExtension("GL_brelvane_no_such_extension"));
}

TEST_F(ExtensionProbe, NothingIsSetBeforeProbing) {
  EXPECT_FALSE(grHasTextureCompression);
  EXPECT_FALSE(grHasGenerateMipmap);
  EXPECT_FALSE(grHasTexture3D);
  EXPECT_FALSE(grHasAnisotropy);
  EXPECT_EQ(grCompressedTexImage2D, nullptr);
  EXPECT_EQ(grTexImage3D, nullptr);
}

TEST_F(ExtensionProbe, ProbesSetFlagsAndFetchEntryPoints) {
  const grProc getCompressed = probeTextureCompression();
  EXPECT_TRUE(grHasTextureCompression);
  EXPECT_NE(getCompressed, nullptr);
  EXPECT_EQ(getCompressed, reinterpret_cast<grProc>(grGetCompressedTexImage));
  for (grProc entry : {reinterpret_cast<grProc>(grCompressedTexImage3D),
                       reinterpret_cast<grProc>(grCompressedTexImage2D),
                       reinterpret_cast<grProc>(grCompressedTexImage1D),
                       reinterpret_cast<grProc>(grCompressedTexSubImage3D),
                       reinterpret_cast<grProc>(grCompressedTexSubImage2D),
                       reinterpret_cast<grProc>(grCompressedTexSubImage1D)})
    EXPECT_NE(entry, nullptr);

  EXPECT_TRUE(probeGenerateMipmap());
  EXPECT_TRUE(grHasGenerateMipmap);
  EXPECT_TRUE(probeAnisotropicFilter());
  EXPECT_TRUE(grHasAnisotropy);

  const grProc subImage3D = probeTexture3D();
  EXPECT_TRUE(grHasTexture3D);
  EXPECT_NE(grTexImage3D, nullptr);
  EXPECT_EQ(subImage3D, reinterpret_cast<grProc>(grTexSubImage3D));
}

TEST_F(ExtensionProbe, FetchedEntryPointsReachTheDriver) {
  ASSERT_NE(probeTexture3D(), nullptr);
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_3D, texture);
  grTexImage3D(GL_TEXTURE_3D, 0, GL_RGBA, 4, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  const unsigned char red[4] = {255, 0, 0, 255};
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  grTexSubImage3D(GL_TEXTURE_3D, 0, 3, 1, 1, 1, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, red);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  GLint width = 0, depth = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_3D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_3D, 0, GL_TEXTURE_DEPTH, &depth);
  EXPECT_EQ(width, 4);
  EXPECT_EQ(depth, 2);
  unsigned char texels[4 * 2 * 2 * 4] = {};
  glGetTexImage(GL_TEXTURE_3D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
  const unsigned char* last = texels + ((1 * 2 + 1) * 4 + 3) * 4;  // slice 1, row 1, column 3
  EXPECT_EQ(last[0], 255);
  EXPECT_EQ(last[1], 0);
  glDeleteTextures(1, &texture);

  ASSERT_NE(probeTextureCompression(), nullptr);
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  // RGTC1, a compressed format Mesa always offers: 8 bytes per 4 x 4 block.
  const unsigned char block[8] = {255, 255, 0, 0, 0, 0, 0, 0};
  grCompressedTexImage2D(GL_TEXTURE_2D, 0, GL_COMPRESSED_RED_RGTC1, 4, 4, 0, sizeof block, block);
  GLint compressed = 0, size = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED, &compressed);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED_IMAGE_SIZE, &size);
  EXPECT_EQ(compressed, GL_TRUE);
  EXPECT_EQ(size, 8);
  glDeleteTextures(1, &texture);
}

TEST_F(ExtensionProbe, NamedExtensionWithoutEntryPointsLeavesItsFlagClear) {
  setProcResolver(&noEntryPoints);
  EXPECT_EQ(probeTextureCompression(), nullptr);
  EXPECT_FALSE(grHasTextureCompression);
  EXPECT_EQ(probeTexture3D(), nullptr);
  EXPECT_FALSE(grHasTexture3D);
  EXPECT_EQ(grTexImage3D, nullptr);
  // Probes without entry points are unaffected.
  EXPECT_TRUE(probeGenerateMipmap());
  EXPECT_TRUE(grHasGenerateMipmap);
}

TEST_F(ExtensionProbe, OneMissingEntryPointIsEnoughToClearTheFlag) {
  setProcResolver(&allButTexSubImage3D);
  EXPECT_EQ(probeTexture3D(), nullptr);
  EXPECT_NE(grTexImage3D, nullptr);
  EXPECT_FALSE(grHasTexture3D);

  setProcResolver(&allButGetCompressed);
  EXPECT_EQ(probeTextureCompression(), nullptr);
  EXPECT_NE(grCompressedTexImage2D, nullptr);
  EXPECT_FALSE(grHasTextureCompression);

  setProcResolver(nullptr);  // back to the platform lookup
  EXPECT_NE(probeTexture3D(), nullptr);
  EXPECT_TRUE(grHasTexture3D);
}

TEST_F(ExtensionProbe, AFlagOnceSetStaysSetWithItsEntryPoints) {
  const grProc getCompressed = probeTextureCompression();
  const grProc subImage3D = probeTexture3D();
  ASSERT_NE(getCompressed, nullptr);
  ASSERT_NE(subImage3D, nullptr);
  const auto compressed2D = grCompressedTexImage2D;
  setProcResolver(&noEntryPoints);  // a later probe that gets no entry point
  EXPECT_EQ(probeTextureCompression(), getCompressed);
  EXPECT_TRUE(grHasTextureCompression);
  EXPECT_EQ(grCompressedTexImage2D, compressed2D);
  EXPECT_EQ(probeTexture3D(), subImage3D);
  EXPECT_TRUE(grHasTexture3D);
  EXPECT_EQ(reinterpret_cast<grProc>(grTexSubImage3D), subImage3D);
}
