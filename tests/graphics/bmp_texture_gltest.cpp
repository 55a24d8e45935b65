// Every good file of the BMP conformance suite, and the questionable ones the
// reader takes, read with grBmpFile and bmpToImage and uploaded, holds at
// level 0 the colours of a plain uncompressed sibling (pal8rle as pal8,
// rgb32bf as rgb24, ...) or of the file itself, decoded here by a small
// decoder written apart from the reader (floating-point channel scaling,
// palette lookups by hand).
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <array>
#include <cmath>
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

using Rgba = std::array<int, 4>;

// Just enough of BMP to know a pixel's colour: uncompressed files with a
// header of 40 bytes or more, bit fields with masks at offset 54.
struct SimpleBmp {
  std::vector<unsigned char> bytes;
  uint32_t offBits = 0, infoSize = 0, compression = 0;
  int32_t width = 0, height = 0;
  uint16_t bitCount = 0;
  std::array<uint32_t, 4> masks = {0x7C00, 0x03E0, 0x001F, 0};

  explicit SimpleBmp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
    offBits = le32(bytes, 10);
    infoSize = le32(bytes, 14);
    width = int32_t(le32(bytes, 18));
    height = int32_t(le32(bytes, 22));
    bitCount = le16(bytes, 28);
    compression = le32(bytes, 30);
    if (compression == 3 || compression == 6) {
      const bool alpha = compression == 6 || infoSize >= 56;
      for (int i = 0; i < 4; ++i) masks[i] = i < 3 || alpha ? le32(bytes, 54 + 4 * i) : 0;
    }
  }
  int32_t rows() const { return height < 0 ? -height : height; }
  static int channel(uint32_t pixel, uint32_t mask) {
    if (mask == 0) return 0;
    const int shift = __builtin_ctz(mask);
    return int(std::lround(double((pixel & mask) >> shift) * 255.0 / double(mask >> shift)));
  }
  // Colour of pixel (x, y), y counted from the bottom row as GL counts it;
  // alpha 255 unless an alpha mask gives one.
  Rgba rgba(int x, int y) const {
    const size_t stride = (size_t(width) * bitCount + 31) / 32 * 4;
    const int fileRow = height < 0 ? rows() - 1 - y : y;
    const size_t row = offBits + fileRow * stride;
    if (bitCount == 16 || (bitCount == 32 && compression != 0)) {
      uint32_t pixel = 0;
      for (int i = 0; i < bitCount / 8; ++i)
        pixel |= uint32_t(bytes[row + x * bitCount / 8 + i]) << 8 * i;
      return {channel(pixel, masks[0]), channel(pixel, masks[1]), channel(pixel, masks[2]),
              masks[3] ? channel(pixel, masks[3]) : 255};
    }
    if (bitCount >= 24) {
      const size_t at = row + size_t(x) * (bitCount / 8);
      return {bytes[at + 2], bytes[at + 1], bytes[at], 255};
    }
    const size_t bit = size_t(x) * bitCount;
    const unsigned byte = bytes[row + bit / 8];
    const unsigned index = (byte >> (8 - bitCount - bit % 8)) & ((1u << bitCount) - 1);
    const size_t entry = 14 + infoSize + 4 * index;
    return {bytes[entry + 2], bytes[entry + 1], bytes[entry], 255};
  }
};

fs::path suiteDirectory() {
  const char* source = std::getenv("BRELVANE_SOURCE_DIR");
  return fs::path(source ? source : ".") / "tests" / "data" / "bmpsuite";
}

// Level 0 of a 128 x 128 texture made from the file, as RGBA bytes.
std::vector<unsigned char> uploadAndReadBack(const fs::path& path) {
  grBmpFile file;
  grImage2D image;
  EXPECT_TRUE(file.read(path.c_str()) && bmpToImage(image, file)) << bmpProblemText(file.problem);
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  grTexture2D texture;
  texture.setImage(image, 128, 0);  // a level every suite image fits into
  texture.apply();
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  GLint width = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  EXPECT_EQ(width, 128);
  std::vector<unsigned char> texels(128 * 128 * 4);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  glDeleteTextures(1, &name);
  return texels;
}

class BmpSuiteTexture : public testsupport::GLTest {};

// The file, and the uncompressed file whose colours it must show ("" for
// its own); the 16-bit files against 24-bit siblings carry their rounding.
struct Shown {
  const char* file;
  const char* sibling;
  int tolerance;
};
const Shown kShown[] = {
    {"g/pal1.bmp", "", 0},
    {"g/pal1bg.bmp", "", 0},
    {"g/pal1wb.bmp", "", 0},
    {"g/pal4.bmp", "", 0},
    {"g/pal4rle.bmp", "g/pal4.bmp", 0},
    {"g/pal8-0.bmp", "", 0},
    {"g/pal8.bmp", "", 0},
    {"g/pal8nonsquare.bmp", "", 0},
    {"g/pal8os2.bmp", "g/pal8.bmp", 0},
    {"g/pal8rle.bmp", "g/pal8.bmp", 0},
    {"g/pal8topdown.bmp", "g/pal8.bmp", 0},
    {"g/pal8v4.bmp", "g/pal8.bmp", 0},
    {"g/pal8v5.bmp", "g/pal8.bmp", 0},
    {"g/pal8w124.bmp", "", 0},
    {"g/pal8w125.bmp", "", 0},
    {"g/pal8w126.bmp", "", 0},
    {"g/rgb16-565.bmp", "", 1},
    {"g/rgb16-565pal.bmp", "g/rgb16-565.bmp", 1},
    {"g/rgb16.bmp", "", 1},
    {"g/rgb24.bmp", "", 0},
    {"g/rgb24pal.bmp", "g/rgb24.bmp", 0},
    {"g/rgb32.bmp", "", 0},
    {"g/rgb32bf.bmp", "g/rgb24.bmp", 0},
    {"q/pal1p1.bmp", "", 0},
    {"q/pal2.bmp", "", 0},
    {"q/pal8offs.bmp", "g/pal8.bmp", 0},
    {"q/pal8os2sp.bmp", "g/pal8.bmp", 0},
    {"q/pal8os2v2.bmp", "g/pal8.bmp", 0},
    {"q/pal8os2v2-16.bmp", "g/pal8.bmp", 0},
    {"q/pal8oversizepal.bmp", "g/pal8.bmp", 0},
    {"q/rgb16-231.bmp", "", 1},
    {"q/rgb24largepal.bmp", "g/rgb24.bmp", 0},
    {"q/rgb24lprof.bmp", "g/rgb24.bmp", 0},
    {"q/rgb32-111110.bmp", "", 1},
    {"q/rgb32fakealpha.bmp", "g/rgb24.bmp", 0},
    {"q/rgb32h52.bmp", "g/rgb24.bmp", 0},
    {"q/rgba16-4444.bmp", "", 1},
    {"q/rgba32.bmp", "", 0},
    {"q/rgba32abf.bmp", "q/rgba32.bmp", 0},
    {"q/rgba32h56.bmp", "q/rgba32.bmp", 0},
};

}  // namespace

TEST_F(BmpSuiteTexture, LevelZeroHoldsTheColoursOfAnUncompressedDecoding) {
  const fs::path directory = suiteDirectory();
  ASSERT_TRUE(fs::is_directory(directory / "g")) << directory;
  int goodFiles = 0;
  for (const Shown& shown : kShown) {
    SCOPED_TRACE(shown.file);
    goodFiles += std::string(shown.file).rfind("g/", 0) == 0;
    const SimpleBmp expected(directory / (*shown.sibling ? shown.sibling : shown.file));
    const std::vector<unsigned char> texels = uploadAndReadBack(directory / shown.file);
    int mismatches = 0;
    for (int y = 0; y < expected.rows(); ++y)
      for (int x = 0; x < expected.width; ++x) {
        const Rgba want = expected.rgba(x, y);
        const unsigned char* got = &texels[(size_t(y) * 128 + x) * 4];
        for (int c = 0; c < 4; ++c)
          if (std::abs(got[c] - want[c]) > shown.tolerance && ++mismatches <= 3)
            ADD_FAILURE() << "pixel " << x << "," << y << " channel " << c << ": " << int(got[c])
                          << " instead of " << want[c];
      }
    EXPECT_EQ(mismatches, 0);
  }
  EXPECT_EQ(goodFiles, 23);
}
