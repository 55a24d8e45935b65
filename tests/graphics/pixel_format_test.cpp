// Pixel formats: the format table walked row by row, hand-checked
// resolutions, component counts and sizes, and the bytes GL reads when
// unpacking (rows, alignment, skips, bitmaps, packing).
#include "graphics/pixel_format.h"

#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <set>
#include <tuple>

#include "graphics/extensions.h"

using namespace libgr;

namespace {

// The table as it is written, read the same way the library reads it.
struct TableLayout {
  unsigned code;
  GLenum format;
  uint32_t components;
  unsigned rowsOf;
};
const TableLayout kTableLayouts[] = {
#define LAYOUT(code, format, components, rowsOf) {code, format, components, rowsOf},
#include "graphics/pixel_format_table.h"
};
struct TableRow {
  unsigned layout, componentClass, depthCode;
  GLenum internalFormat, type;
};
const TableRow kTableRows[] = {
#define ROW(layout, componentClass, depthCode, internalFormat, type) \
  {layout, componentClass, depthCode, internalFormat, type},
#include "graphics/pixel_format_table.h"
};
constexpr unsigned kLayoutCodes = sizeof(kTableLayouts) / sizeof(kTableLayouts[0]);

const TableRow* rowFor(unsigned layout, unsigned componentClass, unsigned depthCode) {
  for (const TableRow& row : kTableRows)
    if (row.layout == kTableLayouts[layout].rowsOf && row.componentClass == componentClass &&
        row.depthCode == depthCode)
      return &row;
  return nullptr;
}

}  // namespace

TEST(PixelFormatTable, EveryRowIsReachableAndResolvesToItself) {
  std::set<std::tuple<unsigned, unsigned, unsigned>> keys;
  for (const TableRow& row : kTableRows) {
    // A second row under the same key would never be found.
    EXPECT_TRUE(keys.insert({row.layout, row.componentClass, row.depthCode}).second)
        << "layout " << row.layout << " class " << row.componentClass << " depth " << row.depthCode;
    grPixelFormat f;
    ASSERT_TRUE(resolvePixelFormat(f, row.layout, row.componentClass, row.depthCode, false));
    EXPECT_EQ(f.internalFormat, row.internalFormat) << "layout " << row.layout;
    EXPECT_EQ(f.type, row.type) << "layout " << row.layout;
    EXPECT_EQ(f.format, kTableLayouts[row.layout].format) << "layout " << row.layout;
  }
}

TEST(PixelFormatTable, OnlyListedCombinationsResolveForEveryCode) {
  resetExtensionProbes();
  grHasTextureCompression = true;
  for (unsigned layout = 0; layout <= kLayoutCodes; ++layout) {
    EXPECT_EQ(grLayoutComponents(layout),
              layout < kLayoutCodes ? kTableLayouts[layout].components : 0);
    for (unsigned componentClass = 0; componentClass <= grClassFloat + 1; ++componentClass) {
      for (unsigned depthCode = 0; depthCode <= grPacked124 + 1; ++depthCode) {
        grPixelFormat f, compressed;
        f.format = compressed.format = 0x1234;
        const bool resolved = resolvePixelFormat(f, layout, componentClass, depthCode, false);
        resolvePixelFormat(compressed, layout, componentClass, depthCode, true);
        const TableRow* row =
            layout < kLayoutCodes ? rowFor(layout, componentClass, depthCode) : nullptr;
        ASSERT_EQ(resolved, row != nullptr)
            << "layout " << layout << " class " << componentClass << " depth " << depthCode;
        EXPECT_EQ(f.format, layout < kLayoutCodes ? kTableLayouts[layout].format : 0x1234u);
        if (!row) continue;
        EXPECT_EQ(f.internalFormat, row->internalFormat);
        // Compression touches plain alpha only.
        EXPECT_EQ(compressed.internalFormat, row->internalFormat == GL_ALPHA
                                                 ? GLenum(GL_COMPRESSED_ALPHA_ARB)
                                                 : row->internalFormat);
      }
    }
  }
  resetExtensionProbes();
}

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

TEST(PixelFormatSizes, ComponentsBytesAndTypes) {
  EXPECT_EQ(componentCount(GL_COLOR_INDEX), 1);
  EXPECT_EQ(componentCount(GL_LUMINANCE_ALPHA), 2);
  EXPECT_EQ(componentCount(GL_BGR_EXT), 3);
  EXPECT_EQ(componentCount(GL_BGRA_EXT), 4);
  EXPECT_EQ(componentCount(GL_STENCIL_INDEX), 0);
  EXPECT_EQ(componentBytes(GL_BITMAP), 1);
  EXPECT_EQ(componentBytes(GL_SHORT), 2);
  EXPECT_EQ(componentBytes(GL_FLOAT), 4);
  EXPECT_EQ(componentBytes(GL_DOUBLE), 8);
  EXPECT_EQ(componentBytes(GL_UNSIGNED_SHORT_5_6_5), 0);
  EXPECT_EQ(typeForBytes(1), GLenum(GL_UNSIGNED_BYTE));
  EXPECT_EQ(typeForBytes(2), GLenum(GL_UNSIGNED_SHORT));
  EXPECT_EQ(typeForBytes(4), GLenum(GL_FLOAT));
  EXPECT_EQ(typeForBytes(8), GLenum(GL_DOUBLE));
  EXPECT_EQ(typeForBytes(3), 0u);
}

namespace {
grUnpackExtent extent(int64_t width, int64_t height, int64_t alignment) {
  grUnpackExtent e;
  e.width = width;
  e.height = height;
  e.alignment = alignment;
  return e;
}
}  // namespace

TEST(UnpackedByteCount, RowsArePaddedToTheAlignmentExceptTheLast) {
  // 3 x 2 RGB bytes: rows of 9 bytes, padded to 12 with alignment 4.
  EXPECT_EQ(unpackedByteCount(GL_RGB, GL_UNSIGNED_BYTE, extent(3, 2, 4)), 12 + 9);
  EXPECT_EQ(unpackedByteCount(GL_RGB, GL_UNSIGNED_BYTE, extent(3, 2, 1)), 18);
  EXPECT_EQ(unpackedByteCount(GL_RGB, GL_UNSIGNED_BYTE, extent(3, 2, 8)), 16 + 9);
  EXPECT_EQ(unpackedByteCount(GL_BGR_EXT, GL_UNSIGNED_BYTE, extent(4, 4, 4)), 48);
  // Elements as large as the alignment are never padded.
  EXPECT_EQ(unpackedByteCount(GL_RGB, GL_FLOAT, extent(3, 2, 4)), 72);
  EXPECT_EQ(unpackedByteCount(GL_LUMINANCE, GL_UNSIGNED_SHORT, extent(3, 2, 8)), 8 + 6);
}

TEST(UnpackedByteCount, RowLengthAndSkipsMoveTheLastByte) {
  grUnpackExtent e = extent(2, 2, 1);
  e.rowLength = 5;
  e.skipPixels = 1;
  e.skipRows = 2;
  // Rows of 5 pixels; the last read pixel is row 3, column 2.
  EXPECT_EQ(unpackedByteCount(GL_LUMINANCE, GL_UNSIGNED_BYTE, e), 3 * 5 + 3);
  grUnpackExtent volume = extent(2, 2, 1);
  volume.depth = 3;
  volume.imageHeight = 4;
  volume.skipImages = 1;
  // Images of 4 rows of 2 bytes; the last image read is number 3.
  EXPECT_EQ(unpackedByteCount(GL_LUMINANCE, GL_UNSIGNED_BYTE, volume), 3 * 8 + 2 + 2);
}

TEST(UnpackedByteCount, BitmapsCountBitsAndPackedTypesWholePixels) {
  // 127 one-bit pixels: 16 bytes, padded to 16 (alignment 4).
  EXPECT_EQ(unpackedByteCount(GL_COLOR_INDEX, GL_BITMAP, extent(127, 3, 4)), 2 * 16 + 16);
  grUnpackExtent skipped = extent(8, 1, 1);
  skipped.skipPixels = 3;
  EXPECT_EQ(unpackedByteCount(GL_COLOR_INDEX, GL_BITMAP, skipped), 2);
  EXPECT_EQ(unpackedByteCount(GL_RGB, GL_UNSIGNED_SHORT_5_6_5, extent(3, 2, 4)), 8 + 6);
  EXPECT_EQ(unpackedByteCount(GL_RGBA, GL_UNSIGNED_INT_10_10_10_2, extent(3, 1, 8)), 12);
  EXPECT_EQ(unpackedByteCount(GL_RGBA, GL_HALF_FLOAT, extent(1, 1, 4)), 8);
}

TEST(UnpackedByteCount, EmptyInvalidAndHugeExtents) {
  EXPECT_EQ(unpackedByteCount(GL_RGB, GL_UNSIGNED_BYTE, extent(0, 5, 4)), 0);
  EXPECT_EQ(unpackedByteCount(GL_RGB, GL_UNSIGNED_BYTE, extent(-1, 5, 4)), -1);
  EXPECT_EQ(unpackedByteCount(GL_RGB, GL_UNSIGNED_BYTE, extent(2, 2, 3)), -1);
  EXPECT_EQ(unpackedByteCount(GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, extent(2, 2, 4)), -1);
  grUnpackExtent negativeSkip = extent(2, 2, 4);
  negativeSkip.skipRows = -1;
  EXPECT_EQ(unpackedByteCount(GL_RGB, GL_UNSIGNED_BYTE, negativeSkip), -1);
  // Products past 64 bits saturate to something no window can hold.
  grUnpackExtent huge = extent(0x7FFFFFFF, 0x7FFFFFFF, 4);
  huge.depth = 0x7FFFFFFF;
  EXPECT_GT(unpackedByteCount(GL_RGBA, GL_DOUBLE, huge), int64_t(1) << 60);
}
