// Image records: default state, copies sharing pixels and colour maps, the
// sizing operations of grImage2D, and description comparison.
#include "graphics/image.h"

#include <gtest/gtest.h>

using namespace libgr;

TEST(ImageRecord, DefaultsAndCopiesShareStorage) {
  grImage2D a;
  EXPECT_FALSE(a.pixels.hasStorage());
  EXPECT_EQ(a.pixels.length, ofsvector<unsigned char>::toEnd);
  EXPECT_EQ(a.layout + a.componentClass + a.depthCode, 0u);
  EXPECT_EQ(a.width + a.height, 0);
  EXPECT_EQ(a.pixelStore, nullptr);
  EXPECT_EQ(a.unpack.rowLength + a.unpack.skipPixels + a.unpack.skipRows, 0);
  EXPECT_FALSE(a.compressed);
  EXPECT_EQ(a.colorMaps.count, 0u);

  const grPixelStore store{false, 2};
  ASSERT_TRUE(a.pixels.allocate(10));
  a.pixels.offset = 2;
  a.pixels.length = 5;
  a.pixelStore = &store;
  a.width = 3;
  ASSERT_TRUE(a.colorMaps.setSize(4));
  *a.colorMaps.green.at(3) = 999;

  grImage2D b;
  b = a;
  EXPECT_EQ(b.pixels.begin(), a.pixels.begin());
  EXPECT_EQ(b.pixels.size(), 5u);
  EXPECT_EQ(a.pixels.useCount(), 2);
  EXPECT_EQ(b.pixelStore, &store);
  EXPECT_EQ(b.width, 3);
  EXPECT_EQ(b.colorMaps.count, 4u);
  EXPECT_EQ(a.colorMaps.green.useCount(), 2);
  EXPECT_EQ(*b.colorMaps.green.at(3), 999);

  grImage3D c;
  grImage3D d(c);
  EXPECT_EQ(d.depth, 0);

  a.colorMaps.reset();
  EXPECT_EQ(a.colorMaps.count, 0u);
  EXPECT_FALSE(a.colorMaps.red.hasStorage());
  EXPECT_EQ(b.colorMaps.green.useCount(), 1);
  EXPECT_FALSE(a.colorMaps.setSize(0));
}

TEST(ImageRecord, RowSizes) {
  grImage2D image;
  image.layout = grLayoutBGR;
  image.depthCode = grDepth8;
  image.width = 5;
  image.height = 3;
  EXPECT_EQ(image.bitsPerPixel(), 24u);
  EXPECT_EQ(image.rowBits(), 120u);
  EXPECT_EQ(image.rowBytes(), 15u) << "no pixel store: no alignment";

  grPixelStore four{false, 4};
  image.pixelStore = &four;
  EXPECT_EQ(image.rowBytes(), 16u);
  image.unpack.rowLength = 8;  // rows longer than the image
  EXPECT_EQ(image.effectiveRowLength(), 8);
  EXPECT_EQ(image.rowBytes(), 24u);
  EXPECT_EQ(image.rowBits(), 120u) << "rowBits follows the width";

  image.unpack.rowLength = 0;
  image.layout = grLayoutLuminance;
  image.depthCode = grDepth1;  // 5 bits: one byte, aligned to 4
  EXPECT_EQ(image.rowBytes(), 4u);

  image.layout = grLayoutRGBA;
  image.depthCode = grPacked565;  // packed: bits per pixel whatever the layout
  EXPECT_EQ(image.bitsPerPixel(), 16u);
  image.depthCode = grDepth16;
  EXPECT_EQ(image.bitsPerPixel(), 64u);
  image.layout = grLayoutColorIndex;
  EXPECT_EQ(image.bitsPerPixel(), 0u);
  image.width = -4;
  EXPECT_EQ(image.rowBits(), 0u);
}

TEST(ImageRecord, AllocatePixelsCoversSkippedRows) {
  grImage2D image;
  image.layout = grLayoutRGB;
  image.depthCode = grDepth8;
  image.width = 2;
  image.height = 3;
  image.unpack.skipRows = 1;
  ASSERT_TRUE(image.allocatePixels());
  EXPECT_EQ(image.pixels.size(), 4u * 6u);
  image.pixels.at(23)[0] = 1;  // the last byte is there (ASan checks)

  grImage2D other = image;
  image.releasePixels();
  EXPECT_FALSE(image.pixels.hasStorage());
  EXPECT_EQ(other.pixels.useCount(), 1);

  // Byte counts that do not fit, or negative row counts, are refused.
  image.width = 0x7FFFFFFF;
  image.height = 0x7FFFFFFF;
  EXPECT_FALSE(image.allocatePixels());
  image.width = 2;
  image.height = -5;
  EXPECT_FALSE(image.allocatePixels());
  EXPECT_FALSE(image.pixels.hasStorage());
}

TEST(ImageRecord, SameDescriptionComparesTheThreeCodesOnly) {
  grImage2D a, b;
  a.layout = b.layout = grLayoutBGR;
  a.depthCode = b.depthCode = grDepth8;
  a.width = 10;  // dimensions are not part of the description
  EXPECT_TRUE(grImage2D::sameDescription(a, b));
  b.componentClass = grClassFloat;
  EXPECT_FALSE(grImage2D::sameDescription(a, b));
}
