// Every uncompressed 1/4/8/24/32-bit BMP of the conformance suite, read with
// grBmpFile and bmpToImage and uploaded, holds the file's own colours at
// level 0. The expected colours come from a decoder written here, apart
// from the reader.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "graphics/bmp.h"
#include "graphics/texture_image.h"
#include "tests/support/gl_context.h"

using namespace libgr;
namespace fs = std::filesystem;

namespace {

uint32_t le32(const std::vector<unsigned char>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}
uint16_t le16(const std::vector<unsigned char>& b, size_t at) { return b[at] | b[at + 1] << 8; }

// Just enough of BMP to know a pixel's colour.
struct SimpleBmp {
  std::vector<unsigned char> bytes;
  uint32_t offBits = 0, infoSize = 0, compression = 0, colorsUsed = 0;
  int32_t width = 0, height = 0;
  uint16_t bitCount = 0;

  explicit SimpleBmp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
    offBits = le32(bytes, 10);
    infoSize = le32(bytes, 14);
    width = int32_t(le32(bytes, 18));
    height = int32_t(le32(bytes, 22));
    bitCount = le16(bytes, 28);
    compression = le32(bytes, 30);
    colorsUsed = le32(bytes, 46);
  }
  bool uncompressedAndSupported() const {
    return infoSize >= 40 && compression == 0 &&
           (bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 24 || bitCount == 32);
  }
  int32_t rows() const { return height < 0 ? -height : height; }
  // RGB of pixel (x, y), y counted from the bottom row as GL counts it.
  std::array<int, 3> rgb(int x, int y) const {
    const size_t stride = (size_t(width) * bitCount + 31) / 32 * 4;
    const int fileRow = height < 0 ? rows() - 1 - y : y;
    const size_t row = offBits + fileRow * stride;
    if (bitCount >= 24) {
      const size_t at = row + size_t(x) * (bitCount / 8);
      return {bytes[at + 2], bytes[at + 1], bytes[at]};
    }
    const size_t bit = size_t(x) * bitCount;
    const unsigned byte = bytes[row + bit / 8];
    const unsigned index = (byte >> (8 - bitCount - bit % 8)) & ((1u << bitCount) - 1);
    const size_t entry = 14 + infoSize + 4 * index;
    return {bytes[entry + 2], bytes[entry + 1], bytes[entry]};
  }
};

fs::path suiteDirectory() {
  const char* source = std::getenv("BRELVANE_SOURCE_DIR");
  return fs::path(source ? source : ".") / "tests" / "data" / "bmpsuite" / "g";
}

class BmpSuiteTexture : public testsupport::GLTest {};

}  // namespace

TEST_F(BmpSuiteTexture, LevelZeroHoldsEachFilesOwnColours) {
  const fs::path directory = suiteDirectory();
  ASSERT_TRUE(fs::is_directory(directory)) << directory;
  int uploaded = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(directory)) {
    if (entry.path().extension() != ".bmp") continue;
    const SimpleBmp expected(entry.path());
    if (!expected.uncompressedAndSupported()) continue;
    SCOPED_TRACE(entry.path().filename().string());

    grBmpFile file;
    ASSERT_TRUE(file.read(entry.path().c_str()));
    grImage2D image;
    if (!bmpToImage(image, file)) {
      // The one uncompressed kind the reader refuses: 24/32 bits with a palette.
      EXPECT_TRUE(expected.bitCount >= 24 && expected.colorsUsed != 0);
      continue;
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    grTexture2D texture;
    texture.setImage(image, 128, 0);  // a level every suite image fits into
    texture.apply();

    ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    ASSERT_EQ(
        [&] {
          GLint width = 0;
          glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
          return width;
        }(),
        128);
    std::vector<unsigned char> texels(128 * 128 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    const int w = expected.width, h = expected.rows();
    const std::array<std::array<int, 2>, 6> probes = {
        {{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}, {w / 2, h / 3}, {w / 3, h / 2}}};
    for (const auto& [x, y] : probes) {
      const std::array<int, 3> want = expected.rgb(x, y);
      const unsigned char* got = &texels[(size_t(y) * 128 + x) * 3];
      for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[c], want[c], 1) << "pixel " << x << "," << y;
    }
    glDeleteTextures(1, &name);
    ++uploaded;
  }
  EXPECT_GE(uploaded, 14);  // 1, 4, 8 (several variants), 24 and 32 bits
}
