// Bytes GL reads when unpacking: rows, alignment, skips, bitmaps, packing.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include "graphics/unpack_size.h"

using libgr::grUnpackExtent;
using libgr::unpackedByteCount;

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
