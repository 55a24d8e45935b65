// BMP reading and description: files the tests write with the shared BMP
// writer (headers of every version, palettes, top-down rows, widening, RLE
// and bit-field decoding, every refusal and its reason) and the BMP
// conformance suite (every file described or refused as a table says, never
// read out of bounds; run under AddressSanitizer too). The colours the
// suite's files upload to are checked in bmp_texture_gltest.cpp.
#include "graphics/bmp.h"
#include "tests/support/temp_file.h"
#include "tools/allocation_counter.h"
#include "tools/bmp_writer.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

using namespace libgr;

namespace {

using Bytes = std::vector<unsigned char>;
using bmpwriter::BmpLayout;
using bmpwriter::encodeBmp;
using bmpwriter::PaletteEntry;

void put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}
uint32_t get32(const Bytes& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

using testsupport::TempFile;

Bytes readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::vector<PaletteEntry> distinctPalette(int n) {
  std::vector<PaletteEntry> colours;
  for (int i = 0; i < n; ++i) colours.push_back({uint8_t(i * 3), uint8_t(255 - i), uint8_t(i)});
  return colours;
}

// Reads and describes `bytes`; false when either step refuses.
bool describe(const Bytes& bytes, grImage2D& image) {
  TempFile file(bytes);
  grBmpFile bmp;
  return bmp.read(file.path()) && bmpToImage(image, bmp);
}

Bytes pixelBytes(const grImage2D& image) { return Bytes(image.pixels.begin(), image.pixels.end()); }

void expectMapEntry(const grImage2D& image, uint32_t j, const PaletteEntry& c) {
  EXPECT_EQ(*image.colorMaps.red.at(j), c.red * 257) << "entry " << j;
  EXPECT_EQ(*image.colorMaps.green.at(j), c.green * 257) << "entry " << j;
  EXPECT_EQ(*image.colorMaps.blue.at(j), c.blue * 257) << "entry " << j;
}

}  // namespace

// ---------------------------------------------------------------- reading

TEST(BmpRead, RefusesWhatIsNotAWholeReadableFile) {
  grBmpFile bmp;
  EXPECT_FALSE(bmp.read("/nonexistent/picture.bmp"));
  EXPECT_EQ(bmpProblemText(bmp.problem), "not found");
  EXPECT_FALSE(bmp.read(nullptr));
  EXPECT_EQ(bmp.problem.error, grBmpError::notFound);
  EXPECT_FALSE(bmp.read(testing::TempDir().c_str())) << "a folder";
  EXPECT_EQ(bmp.problem.error, grBmpError::notRegularFile);

  const Bytes full = encodeBmp({});
  TempFile tooShort(Bytes(full.begin(), full.begin() + 53));
  EXPECT_FALSE(bmp.read(tooShort.path()));
  EXPECT_EQ(bmp.problem.error, grBmpError::tooShort);
  EXPECT_FALSE(bmp.fileHeader.hasStorage());

  // Exactly both headers: accepted, with nothing after them.
  TempFile headersOnly(Bytes(full.begin(), full.begin() + 54));
  ASSERT_TRUE(bmp.read(headersOnly.path()));
  EXPECT_EQ(bmp.problem.error, grBmpError::none);
  EXPECT_EQ(bmp.palette.size(), 0u);
  EXPECT_TRUE(bmp.bits.empty());

  // A failed read leaves the windows on the previous file.
  const unsigned char* before = bmp.bits.begin();
  EXPECT_FALSE(bmp.read(tooShort.path()));
  EXPECT_EQ(bmp.bits.begin(), before);
  EXPECT_EQ(bmp.fileHeader.useCount(), 4);
}

TEST(BmpRead, RefusesAFileThatCannotBeOpened) {
  TempFile file(encodeBmp({}));
  ASSERT_EQ(chmod(file.path(), 0), 0);
  // Root opens files whatever their mode: read as an unprivileged user then.
  const bool asRoot = geteuid() == 0;
  if (asRoot && seteuid(65534) != 0) GTEST_SKIP() << "cannot drop privileges";
  grBmpFile bmp;
  const bool read = bmp.read(file.path());
  if (asRoot) {
    ASSERT_EQ(seteuid(0), 0);
  }
  EXPECT_FALSE(read);
  EXPECT_EQ(bmp.problem.error, grBmpError::unreadable);
  EXPECT_FALSE(bmp.bits.hasStorage());
}

TEST(BmpRead, LaysWindowsOverOneBuffer) {
  BmpLayout picture;
  picture.infoSize = 124;  // a later header version: the palette follows all of it
  picture.bitCount = 8;
  picture.palette = distinctPalette(4);
  picture.pixels = Bytes(4, 9);
  const Bytes bytes = encodeBmp(picture);
  TempFile file(bytes);

  grBmpFile bmp;
  ASSERT_TRUE(bmp.read(file.path()));
  EXPECT_EQ(bmp.fileHeader.useCount(), 4);
  EXPECT_EQ(bmp.fileHeader.size(), 1u);
  EXPECT_EQ(bmp.infoHeader.offset, 14u);
  EXPECT_EQ(int32_t{bmp.infoHeader.at(0)->biWidth}, 1);
  EXPECT_EQ(bmp.palette.offset, 138u);
  ASSERT_EQ(bmp.palette.size(), 4u);
  EXPECT_EQ(int{bmp.palette.at(2)->rgbRed}, 6);
  EXPECT_EQ(bmp.bits.offset, 154u);
  EXPECT_EQ(Bytes(bmp.bits.begin(), bmp.bits.end()), Bytes(4, 9));

  // Offsets past the end are bounded by the file: nothing to read there.
  Bytes pastEnd = bytes;
  put32(pastEnd, 10, 5000);
  TempFile far(pastEnd);
  ASSERT_TRUE(bmp.read(far.path()));
  EXPECT_TRUE(bmp.bits.empty());
  EXPECT_EQ(bmp.palette.size(), 5u) << "the palette ends at the end of the file";

  Bytes hugeHeader = bytes;
  put32(hugeHeader, 14, 0xFFFFFFF0u);
  TempFile odd(hugeHeader);
  ASSERT_TRUE(bmp.read(odd.path()));
  EXPECT_TRUE(bmp.palette.empty());
}

TEST(BmpRead, SecondReadFreesTheFirstBufferWhenUnused) {
  TempFile first(encodeBmp({}));
  TempFile second(encodeBmp({}));
  grBmpFile bmp;
  ASSERT_TRUE(bmp.read(first.path()));
  ofsvector<unsigned char> kept = bmp.bits;
  EXPECT_EQ(kept.useCount(), 5);
  ASSERT_TRUE(bmp.read(second.path()));
  EXPECT_EQ(kept.useCount(), 1) << "only the copy still holds the first buffer";
  EXPECT_EQ(bmp.bits.useCount(), 4);
}

// ---------------------------------------------------------------- describing

TEST(BmpToImage, TrueColourSharesTheFileBuffer) {
  BmpLayout picture;
  picture.width = 3;
  picture.height = 2;
  picture.pixels = Bytes(24);  // rows of 9 bytes padded to 12
  for (size_t i = 0; i < picture.pixels.size(); ++i) picture.pixels[i] = uint8_t(i + 1);
  TempFile file(encodeBmp(picture));

  grImage2D image;
  image.unpack.skipRows = 5;  // stale settings from earlier use are replaced
  {
    grBmpFile bmp;
    ASSERT_TRUE(bmp.read(file.path()));
    ASSERT_TRUE(bmpToImage(image, bmp));
    EXPECT_EQ(image.pixels.begin(), bmp.bits.begin()) << "no copy";
    EXPECT_EQ(image.pixels.useCount(), 5);
  }
  EXPECT_EQ(image.layout, grLayoutBGR);
  EXPECT_EQ(image.componentClass, grClassUnsigned);
  EXPECT_EQ(image.depthCode, grDepth8);
  EXPECT_EQ(image.width, 3);
  EXPECT_EQ(image.height, 2);
  EXPECT_FALSE(image.compressed);
  EXPECT_EQ(image.pixels.offset, 54u);
  EXPECT_EQ(image.colorMaps.count, 0u);
  EXPECT_FALSE(image.colorMaps.red.hasStorage());
  ASSERT_NE(image.pixelStore, nullptr);
  EXPECT_EQ(image.pixelStore->alignment, 4);
  EXPECT_EQ(image.unpack.skipRows, 0);
  // The file object is gone; the image keeps the pixels alive.
  EXPECT_EQ(image.pixels.useCount(), 1);
  EXPECT_EQ(pixelBytes(image), picture.pixels);

  // 32 bits: the unused fourth byte is made opaque in the file's buffer.
  picture.bitCount = 32;
  picture.width = 1;
  picture.pixels = {1, 2, 3, 0, 4, 5, 6, 77, 99};  // a trailing byte stays put
  TempFile file32(encodeBmp(picture));
  grBmpFile bmp;
  ASSERT_TRUE(bmp.read(file32.path()));
  grImage2D bgra;
  ASSERT_TRUE(bmpToImage(bgra, bmp));
  EXPECT_EQ(bgra.layout, grLayoutBGRA);
  EXPECT_EQ(bgra.depthCode, grDepth8);
  EXPECT_EQ(bgra.pixels.begin(), bmp.bits.begin());
  EXPECT_EQ(pixelBytes(bgra), (Bytes{1, 2, 3, 255, 4, 5, 6, 255, 99}));
}

TEST(BmpToImage, PaletteImagesShowTheirOwnColours) {
  BmpLayout picture;
  picture.width = 4;
  picture.bitCount = 8;
  picture.pixels = {0, 1, 2, 255};

  // A full palette named by biClrUsed.
  picture.colorsUsed = 256;
  picture.palette = distinctPalette(256);
  grImage2D full;
  ASSERT_TRUE(describe(encodeBmp(picture), full));
  EXPECT_EQ(full.layout, grLayoutColorIndex);
  EXPECT_EQ(full.depthCode, grDepth8);
  ASSERT_EQ(full.colorMaps.count, 256u);
  ASSERT_EQ(full.colorMaps.blue.size(), 256u);
  for (uint32_t j : {0u, 1u, 100u, 255u}) expectMapEntry(full, j, picture.palette[j]);

  // biClrUsed 0 means the whole palette: still a colour-index image.
  picture.colorsUsed = 0;
  grImage2D implied;
  ASSERT_TRUE(describe(encodeBmp(picture), implied));
  EXPECT_EQ(implied.layout, grLayoutColorIndex);
  EXPECT_EQ(implied.colorMaps.count, 256u);

  // Shorter palettes (real files carry 252 or 236 colours) are padded with
  // black to the power of two GL accepts.
  picture.palette = distinctPalette(3);
  grImage2D padded;
  ASSERT_TRUE(describe(encodeBmp(picture), padded));
  EXPECT_EQ(padded.layout, grLayoutColorIndex);
  ASSERT_EQ(padded.colorMaps.count, 256u);
  expectMapEntry(padded, 2, picture.palette[2]);
  for (uint32_t j : {3u, 4u, 255u}) expectMapEntry(padded, j, {0, 0, 0});

  // biClrUsed smaller than the palette region: only the named entries count.
  picture.palette = distinctPalette(8);
  picture.colorsUsed = 2;
  grImage2D named;
  ASSERT_TRUE(describe(encodeBmp(picture), named));
  expectMapEntry(named, 1, picture.palette[1]);
  expectMapEntry(named, 2, {0, 0, 0});

  // No palette at all: grey levels.
  picture.palette.clear();
  picture.colorsUsed = 0;
  grImage2D grey;
  ASSERT_TRUE(describe(encodeBmp(picture), grey));
  EXPECT_EQ(grey.layout, grLayoutLuminance);
  EXPECT_EQ(grey.colorMaps.count, 0u);
}

TEST(BmpToImage, OneBitImagesStayBits) {
  BmpLayout picture;
  picture.width = 33;  // 5 bytes, padded to 8
  picture.height = 2;
  picture.bitCount = 1;
  picture.palette = {{30, 20, 10}, {60, 50, 40}};
  picture.pixels = Bytes(16, 0xA5);
  grImage2D image;
  ASSERT_TRUE(describe(encodeBmp(picture), image));
  EXPECT_EQ(image.layout, grLayoutColorIndex);
  EXPECT_EQ(image.depthCode, grDepth1);
  EXPECT_EQ(image.pixels.offset, 62u);
  EXPECT_EQ(pixelBytes(image), picture.pixels);
  ASSERT_EQ(image.colorMaps.count, 2u);
  expectMapEntry(image, 1, picture.palette[1]);
}

TEST(BmpToImage, FourBitPixelsAreWidenedToBytes) {
  BmpLayout picture;
  picture.width = 5;  // 3 bytes, padded to 4; widened rows of 5 padded to 8
  picture.height = 2;
  picture.bitCount = 4;
  picture.palette = distinctPalette(16);
  picture.pixels = {0x12, 0x34, 0x5F, 0xEE, 0xAB, 0xCD, 0xE0, 0xEE};
  TempFile file(encodeBmp(picture));

  grImage2D image;
  {
    grBmpFile bmp;
    ASSERT_TRUE(bmp.read(file.path()));
    ASSERT_TRUE(bmpToImage(image, bmp));
    EXPECT_EQ(bmp.bits.useCount(), 4) << "the image has its own buffer";
  }
  EXPECT_EQ(image.layout, grLayoutColorIndex);
  EXPECT_EQ(image.depthCode, grDepth8);
  EXPECT_EQ(image.width, 5);
  EXPECT_EQ(image.pixels.offset, 0u);
  EXPECT_EQ(pixelBytes(image), (Bytes{1, 2, 3, 4, 5, 0, 0, 0, 10, 11, 12, 13, 14, 0, 0, 0}));
  EXPECT_EQ(image.colorMaps.count, 16u);
  expectMapEntry(image, 15, picture.palette[15]);
}

TEST(BmpToImage, TopDownFilesAreTurnedUpright) {
  BmpLayout picture;
  picture.width = 3;
  picture.height = -3;
  picture.bitCount = 8;
  picture.palette = distinctPalette(256);
  picture.pixels = {1, 1, 1, 0, 2, 2, 2, 0, 3, 3, 3, 0, 9};  // a trailing byte stays put
  TempFile file(encodeBmp(picture));
  grBmpFile bmp;
  ASSERT_TRUE(bmp.read(file.path()));

  grImage2D image;
  ASSERT_TRUE(bmpToImage(image, bmp));
  EXPECT_EQ(image.height, 3);
  const Bytes upright = {3, 3, 3, 0, 2, 2, 2, 0, 1, 1, 1, 0, 9};
  EXPECT_EQ(pixelBytes(image), upright);
  EXPECT_EQ(image.pixels.begin(), bmp.bits.begin()) << "reordered in place";
  EXPECT_EQ(int32_t{bmp.infoHeader.at(0)->biHeight}, 3) << "the buffer is bottom-up now";

  // Describing the same file again gives the same upright image.
  grImage2D again;
  ASSERT_TRUE(bmpToImage(again, bmp));
  EXPECT_EQ(pixelBytes(again), upright);

  // 4-bit top-down: reordered, then widened.
  picture.bitCount = 4;
  picture.width = 2;
  picture.height = -2;
  picture.palette = distinctPalette(16);
  picture.pixels = {0x12, 0, 0, 0, 0x34, 0, 0, 0};
  grImage2D nibbles;
  ASSERT_TRUE(describe(encodeBmp(picture), nibbles));
  EXPECT_EQ(pixelBytes(nibbles), (Bytes{3, 4, 0, 0, 1, 2, 0, 0}));
}

TEST(BmpToImage, RefusalsSayWhyAndLeaveTheImageAsItWas) {
  BmpLayout good;
  good.width = 2;
  good.height = 2;
  good.pixels = Bytes(16, 1);  // rows of 6 bytes padded to 8

  struct Case {
    const char* what;
    void (*change)(BmpLayout&);
    grBmpError why;
    uint32_t detail;
  };
  using E = grBmpError;
  const Case cases[] = {
      {"RLE8 of 24 bits", [](BmpLayout& s) { s.compression = 1; }, E::unsupportedBitCount, 24},
      {"RLE4 of 8 bits", [](BmpLayout& s) { s.compression = 2, s.bitCount = 8; },
       E::unsupportedBitCount, 8},
      {"bit fields of 24 bits", [](BmpLayout& s) { s.compression = 3; }, E::unsupportedBitCount,
       24},
      {"embedded JPEG", [](BmpLayout& s) { s.compression = 4; }, E::embeddedJpeg, 4},
      {"embedded PNG", [](BmpLayout& s) { s.compression = 5; }, E::embeddedPng, 5},
      {"compression 7", [](BmpLayout& s) { s.compression = 7; }, E::unsupportedCompression, 7},
      {"OS/2 Huffman", [](BmpLayout& s) { s.infoSize = 64, s.bitCount = 1, s.compression = 3; },
       E::unsupportedCompression, 3},
      {"0 bits", [](BmpLayout& s) { s.bitCount = 0; }, E::unsupportedBitCount, 0},
      {"header of 8 bytes", [](BmpLayout& s) { s.infoSize = 8, s.offBits = 60; }, E::badHeaderSize,
       8},
      {"zero width", [](BmpLayout& s) { s.width = 0; }, E::badDimensions, 0},
      {"negative width", [](BmpLayout& s) { s.width = -2; }, E::badDimensions, 0},
      {"zero height", [](BmpLayout& s) { s.height = 0; }, E::badDimensions, 0},
      {"most negative height", [](BmpLayout& s) { s.height = INT32_MIN; }, E::badDimensions, 0},
      {"core header, zero height",
       [](BmpLayout& s) { s.infoSize = 12, s.height = 0, s.offBits = 60; }, E::badDimensions, 0},
      {"one byte short", [](BmpLayout& s) { s.pixels.pop_back(); }, E::truncatedPixels, 0},
      {"one row too many", [](BmpLayout& s) { s.height = 3; }, E::truncatedPixels, 0},
      {"byte count overflows", [](BmpLayout& s) { s.width = s.height = 0x7FFFFFFF; },
       E::truncatedPixels, 0},
      {"width times bits overflows", [](BmpLayout& s) { s.width = 0x40000000, s.bitCount = 32; },
       E::truncatedPixels, 0},
      {"4-bit widening overflows", [](BmpLayout& s) { s.width = 0x7FFFFFF0, s.bitCount = 4; },
       E::truncatedPixels, 0},
      {"16-bit rows past the end", [](BmpLayout& s) { s.bitCount = 16, s.height = 5; },
       E::truncatedPixels, 0},
      {"masks overlap",
       [](BmpLayout& s) {
         s.bitCount = 16, s.compression = 3, s.masks = {0xF800, 0x0FE0, 0x1F};
       },
       E::badMasks, 0},
      {"mask with a gap",
       [](BmpLayout& s) {
         s.bitCount = 16, s.compression = 3, s.masks = {0xF000, 0x05E0, 0x1F};
       },
       E::badMasks, 0},
      {"all masks zero",
       [](BmpLayout& s) {
         s.bitCount = 32, s.compression = 3, s.masks = {0, 0, 0};
       },
       E::badMasks, 0},
      {"mask wider than the pixel",
       [](BmpLayout& s) {
         s.bitCount = 16, s.compression = 3, s.masks = {0xF0000, 0x3E0, 0x1F};
       },
       E::badMasks, 0},
      {"alpha overlaps red",
       [](BmpLayout& s) {
         s.bitCount = 32, s.compression = 6, s.masks = {0xFF0000, 0xFF00, 0xFF, 0xFFF00000};
       },
       E::badMasks, 0},
      {"RLE8 top-down",
       [](BmpLayout& s) {
         s.bitCount = 8, s.compression = 1, s.height = -2, s.pixels = {0, 1};
       },
       E::rleTopDown, 0},
      {"RLE8 pixels above the last row",
       [](BmpLayout& s) { s.bitCount = 8, s.compression = 1, s.pixels = {0, 0, 0, 0, 1, 7, 0, 1}; },
       E::rlePastCanvas, 0},
      {"RLE4 delta past the last row, then a run",
       [](BmpLayout& s) {
         s.bitCount = 4, s.compression = 2, s.pixels = {0, 2, 0, 2, 2, 0x11, 0, 1};
       },
       E::rlePastCanvas, 0},
      {"RLE8 canvas over the cap",
       [](BmpLayout& s) {
         s.bitCount = 8, s.compression = 1, s.width = 16385, s.pixels = {0, 1};
       },
       E::canvasTooLarge, 0},
      {"RLE8 canvas within the sides but over the pixel cap",
       [](BmpLayout& s) {
         s.bitCount = 8, s.compression = 1, s.width = 16384, s.height = 9984, s.pixels = {0, 1};
       },
       E::canvasTooLarge, 0},
  };

  ofsvector<unsigned char> previous;
  ASSERT_TRUE(previous.allocate(3));
  grPixelStore store{true, 8};
  for (const Case& c : cases) {
    BmpLayout picture = good;
    c.change(picture);
    grImage2D image;
    image.pixels = previous;
    image.layout = 8;
    image.depthCode = 5;
    image.width = image.height = 77;
    image.pixelStore = &store;
    image.colorMaps.setSize(4);
    TempFile file(encodeBmp(picture));
    grBmpFile bmp;
    ASSERT_TRUE(bmp.read(file.path())) << c.what;
    EXPECT_FALSE(bmpToImage(image, bmp)) << c.what;
    EXPECT_EQ(bmp.problem.error, c.why) << c.what << ": " << bmpProblemText(bmp.problem);
    EXPECT_EQ(bmp.problem.detail, c.detail) << c.what;
    EXPECT_EQ(image.pixels.begin(), previous.begin()) << c.what;
    EXPECT_EQ(image.layout, 8u) << c.what;
    EXPECT_EQ(image.depthCode, 5u) << c.what;
    EXPECT_EQ(image.width, 77) << c.what;
    EXPECT_EQ(image.height, 77) << c.what;
    EXPECT_EQ(image.pixelStore, &store) << c.what;
    EXPECT_EQ(image.colorMaps.count, 4u) << c.what;
  }

  grImage2D exact;
  EXPECT_TRUE(describe(encodeBmp(good), exact)) << "exactly the declared rows";

  grBmpFile unread;
  EXPECT_FALSE(bmpToImage(exact, unread));
  EXPECT_EQ(unread.problem.error, grBmpError::notRead);
  EXPECT_EQ(bmpProblemText({grBmpError::unsupportedCompression, 7}), "unsupported compression 7");
}

TEST(BmpToImage, AHugeRleCanvasIsRefusedBeforeAnyAllocation) {
  BmpLayout picture;
  picture.width = picture.height = 60000;
  picture.bitCount = 8;
  picture.compression = 1;
  picture.pixels = Bytes(100 - 54, 0);  // end-of-line escapes: a 100-byte file
  const Bytes bytes = encodeBmp(picture);
  ASSERT_EQ(bytes.size(), 100u);
  TempFile file(bytes);
  grBmpFile bmp;
  ASSERT_TRUE(bmp.read(file.path()));
  grImage2D image;
  allocation_counter::start();
  const bool accepted = bmpToImage(image, bmp);
  EXPECT_EQ(allocation_counter::stop(), 0);
  EXPECT_FALSE(accepted);
  EXPECT_EQ(bmp.problem.error, grBmpError::canvasTooLarge);
}

// Files the reader decodes into a fresh buffer: what the buffer holds. RLE
// and widened pictures hold a palette index per byte, bit fields 8-bit BGR
// or BGRA; rows bottom-up, padded to 4 bytes.
TEST(BmpToImage, DecodesEachVariantIntoAFreshBuffer) {
  struct Case {
    const char* what;
    BmpLayout file;
    uint32_t layout;
    Bytes pixels;
  };
  const auto make = [](uint16_t bitCount, uint32_t compression, int32_t width, int32_t height,
                       Bytes pixels, std::vector<uint32_t> masks = {}, uint32_t infoSize = 40) {
    BmpLayout layout;
    layout.infoSize = infoSize;
    layout.width = width;
    layout.height = height;
    layout.bitCount = bitCount;
    layout.compression = compression;
    layout.masks = masks;
    layout.pixels = pixels;
    if (bitCount <= 8) layout.palette = distinctPalette(1 << bitCount);
    return layout;
  };
  const uint32_t ci = grLayoutColorIndex;
  const Case cases[] = {
      // A run; a delta of (1, 1) and a run; end of line; an absolute run
      // of 3 (padded to a word); a run cut at the width; end of bitmap.
      {"RLE8",
       make(8, 1, 5, 3, {2, 7, 0, 2, 1, 1, 1, 5, 0, 0, 0, 3, 1, 2, 3, 0, 9, 4, 0, 1}),
       ci,
       {7, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 0, 1, 2, 3, 4, 4, 0, 0, 0}},
      // Nibble runs alternate; an absolute run of 5 nibbles takes 3 bytes
      // and one byte of padding; the stream ends without end of bitmap.
      {"RLE4",
       make(4, 2, 6, 2, {3, 0x12, 0, 5, 0xAB, 0xCD, 0xE0, 0, 0, 0, 1, 0xF0}),
       ci,
       {1, 2, 1, 10, 11, 12, 0, 0, 15, 0, 0, 0, 0, 0, 0, 0}},
      {"RLE8 cut short inside an absolute run",
       make(8, 1, 4, 2, {0, 4, 6, 6}),
       ci,
       {6, 6, 0, 0, 0, 0, 0, 0}},
      {"2 bits widened", make(2, 0, 5, 1, {0x1B, 0xC0, 0, 0}), ci, {0, 1, 2, 3, 3, 0, 0, 0}},
      // 5-5-5: bits repeated downwards (3 = 0b00011 is 0b00011000, where
      // 3 x 255 / 31 would round to 25).
      {"16-bit BI_RGB",
       make(16, 0, 3, 1, {0xFF, 0x7F, 0x03, 0x00, 0x00, 0x7C, 0, 0}),
       grLayoutBGR,
       {255, 255, 255, 24, 0, 0, 0, 0, 255, 0, 0, 0}},
      {"5-6-5 after a 40-byte header",
       make(16, 3, 2, 1, {0x20, 0x00, 0xE0, 0x07}, {0xF800, 0x07E0, 0x001F}),
       grLayoutBGR,
       {0, 4, 0, 0, 255, 0, 0, 0}},
      // 11-11-10: 1024 of 2047 rounds to 128, 1 of 1023 to 0.
      {"11-11-10",
       make(32, 3, 1, 1, {0x01, 0x00, 0x00, 0x80}, {0xFFE00000, 0x001FFC00, 0x3FF}),
       grLayoutBGR,
       {0, 0, 128, 0}},
      {"alpha bit fields",
       make(32, 6, 1, 1, {1, 2, 3, 4}, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}),
       grLayoutBGRA,
       {3, 2, 1, 4}},
      {"alpha zero everywhere is opaque",
       make(32, 6, 2, 1, {1, 2, 3, 0, 5, 6, 7, 0}, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}),
       grLayoutBGRA,
       {3, 2, 1, 255, 7, 6, 5, 255}},
      {"4-4-4-4 in a V5 header",
       make(16, 3, 1, 1, {0x21, 0x43, 0, 0}, {0x0F00, 0x00F0, 0x000F, 0xF000}, 124),
       grLayoutBGRA,
       {0x11, 0x22, 0x33, 0x44}},
      {"52-byte header: no alpha mask",
       make(32, 3, 1, 1, {1, 2, 3, 4}, {0xFF, 0xFF00, 0xFF0000}, 52),
       grLayoutBGR,
       {3, 2, 1, 0}},
      {"top-down bit fields",
       make(16, 0, 1, -2, {0x1F, 0, 0, 0, 0, 0x7C, 0, 0}),
       grLayoutBGR,
       {0, 0, 255, 0, 255, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    grImage2D image;
    ASSERT_TRUE(describe(encodeBmp(c.file), image)) << c.what;
    EXPECT_EQ(image.layout, c.layout) << c.what;
    EXPECT_EQ(image.depthCode, grDepth8) << c.what;
    EXPECT_EQ(image.pixels.offset, 0u) << c.what;
    EXPECT_EQ(pixelBytes(image), c.pixels) << c.what;
    EXPECT_EQ(image.colorMaps.count, c.layout == ci ? 1u << c.file.bitCount : 0u) << c.what;
  }
}

TEST(BmpToImage, OsTwoHeadersAndPalettesOfAnyLength) {
  struct Case {
    const char* what;
    uint32_t infoSize;
    uint16_t bitCount;
    int paletteEntries;
    uint32_t mapEntries;
  };
  const Case cases[] = {
      {"core header, 3-byte entries", 12, 8, 256, 256},
      {"OS/2 2.x of 16 bytes", 16, 8, 256, 256},
      {"OS/2 2.x of 64 bytes", 64, 4, 16, 16},
      {"palette longer than 2^bits", 40, 2, 7, 4},
  };
  for (const Case& c : cases) {
    BmpLayout picture;
    picture.infoSize = c.infoSize;
    picture.width = 4;
    picture.bitCount = c.bitCount;
    picture.palette = distinctPalette(c.paletteEntries);
    picture.pixels = Bytes(4, 0x42);  // index 66, 4 or 1 at every pixel
    grImage2D image;
    ASSERT_TRUE(describe(encodeBmp(picture), image)) << c.what;
    EXPECT_EQ(image.layout, grLayoutColorIndex) << c.what;
    EXPECT_EQ(image.width, 4) << c.what;
    ASSERT_EQ(image.colorMaps.count, c.mapEntries) << c.what;
    const uint32_t index = *image.pixels.at(0);
    EXPECT_EQ(index, c.bitCount == 8 ? 0x42u : c.bitCount == 4 ? 4u : 1u) << c.what;
    expectMapEntry(image, index, picture.palette[index]);
    expectMapEntry(image, c.mapEntries - 1, picture.palette[c.mapEntries - 1]);
  }
}

// ---------------------------------------------------------------- the suite

namespace {

std::string suiteDir() {
  if (const char* root = std::getenv("BRELVANE_SOURCE_DIR"))
    return std::string(root) + "/tests/data/bmpsuite";
  const std::string self = __FILE__;  // <root>/tests/graphics/bmp_test.cpp
  return self.substr(0, self.rfind("/tests/")) + "/tests/data/bmpsuite";
}

std::vector<std::string> suiteFiles(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = opendir((suiteDir() + "/" + folder).c_str())) {
    while (dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.size() > 4 && name.substr(name.size() - 4) == ".bmp") names.push_back(name);
    }
    closedir(dir);
  }
  return names;
}

// Bytes GL reads for the image with rows aligned to 4: what the pixel window
// must hold at least.
uint64_t glReadExtent(const grImage2D& image) {
  uint64_t rowBits = uint64_t(image.width);
  if (image.depthCode != grDepth1) {
    rowBits *= 8;
    if (image.layout == grLayoutBGR) rowBits *= 3;
    if (image.layout == grLayoutBGRA) rowBits *= 4;
  }
  return (rowBits + 31) / 32 * 4 * uint64_t(image.height);
}

// Touches every byte of what an upload would read; AddressSanitizer reports a
// window reaching past its buffer.
unsigned touchAll(const grImage2D& image) {
  unsigned sum = 0;
  for (const unsigned char* p = image.pixels.begin(); p != image.pixels.end(); ++p) sum += *p;
  for (uint32_t j = 0; j < image.colorMaps.count; ++j)
    sum += *image.colorMaps.red.at(j) + *image.colorMaps.green.at(j) + *image.colorMaps.blue.at(j);
  return sum;
}

// What the reader makes of every file of the suite: a refusal and its
// reason, or the description and whether the pixels stay in the file's
// buffer. The b/ files it accepts break only fields it does not use
// (planes, densities, file and image sizes, header size 66), carry an
// absurd palette size it caps, or index past the palette (black).
struct SuiteExpectation {
  grBmpError why;
  uint32_t layout = 0, depthCode = 0, mapEntries = 0;
  bool shared = false;
  int32_t width = 127, height = 64;
};

}  // namespace

TEST(BmpSuite, EveryFileIsDescribedOrRefusedAsTheTableSays) {
  using E = grBmpError;
  const E ok = E::none;
  const SuiteExpectation pal1 = {ok, grLayoutColorIndex, grDepth1, 2, true};
  const SuiteExpectation pal8 = {ok, grLayoutColorIndex, grDepth8, 256, true};
  const SuiteExpectation rle8 = {ok, grLayoutColorIndex, grDepth8, 256, false};
  const SuiteExpectation pal4 = {ok, grLayoutColorIndex, grDepth8, 16, false};
  const SuiteExpectation bgr = {ok, grLayoutBGR, grDepth8, 0, true};
  const SuiteExpectation bgrDecoded = {ok, grLayoutBGR, grDepth8, 0, false};
  const SuiteExpectation bgraDecoded = {ok, grLayoutBGRA, grDepth8, 0, false};
  const std::map<std::string, SuiteExpectation> expected = {
      {"g/pal1.bmp", pal1},
      {"g/pal1bg.bmp", pal1},
      {"g/pal1wb.bmp", pal1},
      {"g/pal4.bmp", pal4},
      {"g/pal4rle.bmp", pal4},
      {"g/pal8-0.bmp", pal8},
      {"g/pal8.bmp", pal8},
      {"g/pal8nonsquare.bmp", {ok, grLayoutColorIndex, grDepth8, 256, true, 127, 32}},
      {"g/pal8os2.bmp", pal8},
      {"g/pal8rle.bmp", rle8},
      {"g/pal8topdown.bmp", pal8},
      {"g/pal8v4.bmp", pal8},
      {"g/pal8v5.bmp", pal8},
      {"g/pal8w124.bmp", {ok, grLayoutColorIndex, grDepth8, 256, true, 124, 61}},
      {"g/pal8w125.bmp", {ok, grLayoutColorIndex, grDepth8, 256, true, 125, 62}},
      {"g/pal8w126.bmp", {ok, grLayoutColorIndex, grDepth8, 256, true, 126, 63}},
      {"g/rgb16-565.bmp", bgrDecoded},
      {"g/rgb16-565pal.bmp", bgrDecoded},
      {"g/rgb16.bmp", bgrDecoded},
      {"g/rgb24.bmp", bgr},
      {"g/rgb24pal.bmp", bgr},
      {"g/rgb32.bmp", {ok, grLayoutBGRA, grDepth8, 0, true}},
      {"g/rgb32bf.bmp", bgrDecoded},
      {"q/pal1p1.bmp", pal1},
      {"q/pal2.bmp", {ok, grLayoutColorIndex, grDepth8, 4, false}},
      {"q/pal4rletrns.bmp", pal4},
      {"q/pal8offs.bmp", pal8},
      {"q/pal8os2sp.bmp", pal8},
      {"q/pal8os2v2-16.bmp", pal8},
      {"q/pal8os2v2.bmp", pal8},
      {"q/pal8oversizepal.bmp", pal8},
      {"q/pal8rletrns.bmp", rle8},  // skipped pixels take index 0
      {"q/rgb16-231.bmp", bgrDecoded},
      {"q/rgb24jpeg.bmp", {E::embeddedJpeg}},
      {"q/rgb24largepal.bmp", bgr},
      {"q/rgb24lprof.bmp", bgr},
      {"q/rgb24png.bmp", {E::embeddedPng}},
      {"q/rgb32-111110.bmp", bgrDecoded},
      {"q/rgb32fakealpha.bmp", {ok, grLayoutBGRA, grDepth8, 0, true}},  // made opaque
      {"q/rgb32h52.bmp", bgrDecoded},
      {"q/rgba16-4444.bmp", bgraDecoded},
      {"q/rgba32.bmp", bgraDecoded},
      {"q/rgba32abf.bmp", bgraDecoded},
      {"q/rgba32h56.bmp", bgraDecoded},
      {"b/badbitcount.bmp", {E::unsupportedBitCount}},
      {"b/badbitssize.bmp", pal1},
      {"b/baddens1.bmp", pal1},
      {"b/baddens2.bmp", pal1},
      {"b/badfilesize.bmp", pal1},
      {"b/badheadersize.bmp", pal1},
      {"b/badpalettesize.bmp", pal8},
      {"b/badplanes.bmp", pal1},
      {"b/badrle.bmp", {E::rlePastCanvas}},
      {"b/badwidth.bmp", {E::badDimensions}},
      {"b/pal8badindex.bmp", pal8},
      {"b/reallybig.bmp", {E::truncatedPixels}},
      {"b/rletopdown.bmp", {E::rleTopDown}},
      {"b/shortfile.bmp", {E::truncatedPixels}},
  };

  // Accepted files whose damage the reader names all the same.
  const std::map<std::string, E> flaws = {
      {"q/pal8oversizepal.bmp", E::paletteSizeField}, {"b/badbitssize.bmp", E::imageSizeMismatch},
      {"b/baddens1.bmp", E::implausibleResolution},   {"b/baddens2.bmp", E::implausibleResolution},
      {"b/badfilesize.bmp", E::fileSizeMismatch},     {"b/badheadersize.bmp", E::unknownHeaderSize},
      {"b/badpalettesize.bmp", E::paletteSizeField},  {"b/badplanes.bmp", E::badPlanes},
      {"b/pal8badindex.bmp", E::indexPastPalette},
  };

  size_t seen = 0;
  const Bytes pal8File = readFile(suiteDir() + "/g/pal8.bmp");
  const Bytes pal8Pixels(pal8File.begin() + 1062, pal8File.end());
  for (const char* folder : {"g", "q", "b"}) {
    for (const std::string& file : suiteFiles(folder)) {
      const std::string name = std::string(folder) + "/" + file;
      SCOPED_TRACE(name);
      ASSERT_TRUE(expected.count(name)) << "not in the table";
      ++seen;
      const SuiteExpectation& e = expected.at(name);
      const std::string path = suiteDir() + "/" + name;
      grBmpFile bmp;
      ASSERT_TRUE(bmp.read(path.c_str()));
      grImage2D image;
      const bool accepted = bmpToImage(image, bmp);
      EXPECT_EQ(bmp.problem.error, e.why) << bmpProblemText(bmp.problem);
      EXPECT_EQ(bmp.flaw.error, flaws.count(name) ? flaws.at(name) : E::none)
          << bmpProblemText(bmp.flaw);
      if (!accepted || e.why != E::none) {
        EXPECT_EQ(accepted, e.why == E::none);
        continue;
      }
      EXPECT_EQ(image.width, e.width);
      EXPECT_EQ(image.height, e.height);
      EXPECT_EQ(image.layout, e.layout);
      EXPECT_EQ(image.depthCode, e.depthCode);
      EXPECT_EQ(image.componentClass, grClassUnsigned);
      EXPECT_GE(image.pixels.size(), glReadExtent(image));
      EXPECT_EQ(image.pixels.begin() == bmp.bits.begin(), e.shared);
      touchAll(image);
      ASSERT_EQ(image.colorMaps.count, e.mapEntries);

      // The same picture in other header versions and row orders.
      if (name == "g/pal8-0.bmp" || name == "g/pal8topdown.bmp" || name == "g/pal8v4.bmp" ||
          name == "g/pal8v5.bmp" || name == "g/pal8os2.bmp") {
        EXPECT_EQ(pixelBytes(image), pal8Pixels);
      }
      const Bytes bytes = readFile(path);
      const bool core = get32(bytes, 14) == 12;  // 3-byte entries: seen in the GL test
      if (!e.shared || e.layout != grLayoutColorIndex || core) continue;
      // Colour maps hold the palette stored after the header, black after it.
      const uint32_t offBits = get32(bytes, 10);
      const uint32_t paletteStart = 14 + get32(bytes, 14);
      const uint32_t stored = (offBits - paletteStart) / 4;
      const uint32_t named = get32(bytes, 46) ? get32(bytes, 46) : e.mapEntries;
      for (uint32_t j = 0; j < e.mapEntries; ++j) {
        PaletteEntry c = {0, 0, 0};
        if (j < stored && j < named) {
          const unsigned char* bgr = &bytes[paletteStart + 4 * j];
          c = {bgr[2], bgr[1], bgr[0]};
        }
        expectMapEntry(image, j, c);
      }
    }
  }
  EXPECT_EQ(seen, expected.size()) << "suite not found at " << suiteDir();
}

TEST(BmpSuite, FourBitPixelsMatchTheirNibbles) {
  const Bytes bytes = readFile(suiteDir() + "/g/pal4.bmp");
  ASSERT_EQ(bytes.size(), 4198u);
  grBmpFile bmp;
  grImage2D image;
  ASSERT_TRUE(bmp.read((suiteDir() + "/g/pal4.bmp").c_str()));
  ASSERT_TRUE(bmpToImage(image, bmp));
  const uint32_t storedRow = 64, widenedRow = 128;
  ASSERT_EQ(image.pixels.size(), widenedRow * 64);
  for (uint32_t row = 0; row < 64; ++row)
    for (uint32_t x = 0; x < 127; ++x) {
      const unsigned char pair = bytes[102 + row * storedRow + x / 2];
      const unsigned char index = x % 2 ? pair & 15 : pair >> 4;
      ASSERT_EQ(*image.pixels.at(row * widenedRow + x), index) << row << "," << x;
    }
}
