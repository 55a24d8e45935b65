// BMP reading and description: files the tests write themselves (headers,
// palettes, top-down rows, 4-bit widening, every refusal) and the BMP
// conformance suite (good files described exactly, questionable and bad ones
// never read out of bounds; run under AddressSanitizer too).
#include "graphics/bmp.h"
#include "tests/support/temp_file.h"

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

void put16(Bytes& b, size_t at, uint16_t v) {
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}
void put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}
uint32_t get32(const Bytes& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

// What a test BMP holds; bfOffBits follows the palette unless overridden.
struct BmpSpec {
  uint32_t infoSize = 40;
  int32_t width = 1;
  int32_t height = 1;
  uint16_t bitCount = 24;
  uint32_t compression = 0;
  uint32_t colorsUsed = 0;
  std::vector<tagRGBQUAD> palette;
  Bytes pixels;
  long offBits = -1;
};

Bytes buildBmp(const BmpSpec& spec) {
  Bytes file(14 + spec.infoSize, 0);
  file[0] = 'B';
  file[1] = 'M';
  for (const tagRGBQUAD& c : spec.palette)
    file.insert(file.end(), {c.rgbBlue, c.rgbGreen, c.rgbRed, 0});
  const uint32_t offBits = spec.offBits >= 0 ? uint32_t(spec.offBits) : uint32_t(file.size());
  file.insert(file.end(), spec.pixels.begin(), spec.pixels.end());
  put32(file, 2, uint32_t(file.size()));
  put32(file, 10, offBits);
  put32(file, 14, spec.infoSize);
  put32(file, 18, uint32_t(spec.width));
  put32(file, 22, uint32_t(spec.height));
  put16(file, 26, 1);
  put16(file, 28, spec.bitCount);
  put32(file, 30, spec.compression);
  put32(file, 46, spec.colorsUsed);
  return file;
}

using testsupport::TempFile;

Bytes readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::vector<tagRGBQUAD> distinctPalette(int n) {
  std::vector<tagRGBQUAD> colours;
  for (int i = 0; i < n; ++i)
    colours.push_back({uint8_t(i), uint8_t(255 - i), uint8_t(i * 3), 0x77});
  return colours;
}

// Reads and describes `bytes`; false when either step refuses.
bool describe(const Bytes& bytes, grImage2D& image) {
  TempFile file(bytes);
  grBmpFile bmp;
  return bmp.read(file.path()) && bmpToImage(image, bmp);
}

Bytes pixelBytes(const grImage2D& image) { return Bytes(image.pixels.begin(), image.pixels.end()); }

void expectMapEntry(const grImage2D& image, uint32_t j, const tagRGBQUAD& c) {
  EXPECT_EQ(*image.colorMaps.red.at(j), c.rgbRed * 257) << "entry " << j;
  EXPECT_EQ(*image.colorMaps.green.at(j), c.rgbGreen * 257) << "entry " << j;
  EXPECT_EQ(*image.colorMaps.blue.at(j), c.rgbBlue * 257) << "entry " << j;
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

  const Bytes full = buildBmp({});
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
  TempFile file(buildBmp({}));
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
  BmpSpec spec;
  spec.infoSize = 124;  // a later header version: the palette follows all of it
  spec.bitCount = 8;
  spec.palette = distinctPalette(4);
  spec.pixels = Bytes(4, 9);
  const Bytes bytes = buildBmp(spec);
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
  TempFile first(buildBmp({}));
  TempFile second(buildBmp({}));
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
  BmpSpec spec;
  spec.width = 3;
  spec.height = 2;
  spec.pixels = Bytes(24);  // rows of 9 bytes padded to 12
  for (size_t i = 0; i < spec.pixels.size(); ++i) spec.pixels[i] = uint8_t(i + 1);
  TempFile file(buildBmp(spec));

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
  EXPECT_EQ(pixelBytes(image), spec.pixels);

  spec.bitCount = 32;
  spec.pixels = Bytes(24, 7);
  grImage2D bgra;
  ASSERT_TRUE(describe(buildBmp(spec), bgra));
  EXPECT_EQ(bgra.layout, grLayoutBGRA);
  EXPECT_EQ(bgra.depthCode, grDepth8);
}

TEST(BmpToImage, PaletteImagesShowTheirOwnColours) {
  BmpSpec spec;
  spec.width = 4;
  spec.bitCount = 8;
  spec.pixels = {0, 1, 2, 255};

  // A full palette named by biClrUsed.
  spec.colorsUsed = 256;
  spec.palette = distinctPalette(256);
  grImage2D full;
  ASSERT_TRUE(describe(buildBmp(spec), full));
  EXPECT_EQ(full.layout, grLayoutColorIndex);
  EXPECT_EQ(full.depthCode, grDepth8);
  ASSERT_EQ(full.colorMaps.count, 256u);
  ASSERT_EQ(full.colorMaps.blue.size(), 256u);
  for (uint32_t j : {0u, 1u, 100u, 255u}) expectMapEntry(full, j, spec.palette[j]);

  // biClrUsed 0 means the whole palette: still a colour-index image.
  spec.colorsUsed = 0;
  grImage2D implied;
  ASSERT_TRUE(describe(buildBmp(spec), implied));
  EXPECT_EQ(implied.layout, grLayoutColorIndex);
  EXPECT_EQ(implied.colorMaps.count, 256u);

  // Shorter palettes (real files carry 252 or 236 colours) are padded with
  // black to the power of two GL accepts.
  spec.palette = distinctPalette(3);
  grImage2D padded;
  ASSERT_TRUE(describe(buildBmp(spec), padded));
  EXPECT_EQ(padded.layout, grLayoutColorIndex);
  ASSERT_EQ(padded.colorMaps.count, 256u);
  expectMapEntry(padded, 2, spec.palette[2]);
  for (uint32_t j : {3u, 4u, 255u}) expectMapEntry(padded, j, {0, 0, 0, 0});

  // biClrUsed smaller than the palette region: only the named entries count.
  spec.palette = distinctPalette(8);
  spec.colorsUsed = 2;
  grImage2D named;
  ASSERT_TRUE(describe(buildBmp(spec), named));
  expectMapEntry(named, 1, spec.palette[1]);
  expectMapEntry(named, 2, {0, 0, 0, 0});

  // No palette at all: grey levels.
  spec.palette.clear();
  spec.colorsUsed = 0;
  grImage2D grey;
  ASSERT_TRUE(describe(buildBmp(spec), grey));
  EXPECT_EQ(grey.layout, grLayoutLuminance);
  EXPECT_EQ(grey.colorMaps.count, 0u);
}

TEST(BmpToImage, OneBitImagesStayBits) {
  BmpSpec spec;
  spec.width = 33;  // 5 bytes, padded to 8
  spec.height = 2;
  spec.bitCount = 1;
  spec.palette = {{10, 20, 30, 0}, {40, 50, 60, 0}};
  spec.pixels = Bytes(16, 0xA5);
  grImage2D image;
  ASSERT_TRUE(describe(buildBmp(spec), image));
  EXPECT_EQ(image.layout, grLayoutColorIndex);
  EXPECT_EQ(image.depthCode, grDepth1);
  EXPECT_EQ(image.pixels.offset, 62u);
  EXPECT_EQ(pixelBytes(image), spec.pixels);
  ASSERT_EQ(image.colorMaps.count, 2u);
  expectMapEntry(image, 1, spec.palette[1]);
}

TEST(BmpToImage, FourBitPixelsAreWidenedToBytes) {
  BmpSpec spec;
  spec.width = 5;  // 3 bytes, padded to 4; widened rows of 5 padded to 8
  spec.height = 2;
  spec.bitCount = 4;
  spec.palette = distinctPalette(16);
  spec.pixels = {0x12, 0x34, 0x5F, 0xEE, 0xAB, 0xCD, 0xE0, 0xEE};
  TempFile file(buildBmp(spec));

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
  expectMapEntry(image, 15, spec.palette[15]);
}

TEST(BmpToImage, TopDownFilesAreTurnedUpright) {
  BmpSpec spec;
  spec.width = 3;
  spec.height = -3;
  spec.bitCount = 8;
  spec.palette = distinctPalette(256);
  spec.pixels = {1, 1, 1, 0, 2, 2, 2, 0, 3, 3, 3, 0, 9};  // a trailing byte stays put
  TempFile file(buildBmp(spec));
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
  spec.bitCount = 4;
  spec.width = 2;
  spec.height = -2;
  spec.palette = distinctPalette(16);
  spec.pixels = {0x12, 0, 0, 0, 0x34, 0, 0, 0};
  grImage2D nibbles;
  ASSERT_TRUE(describe(buildBmp(spec), nibbles));
  EXPECT_EQ(pixelBytes(nibbles), (Bytes{3, 4, 0, 0, 1, 2, 0, 0}));
}

TEST(BmpToImage, RefusalsLeaveTheImageAsItWas) {
  BmpSpec good;
  good.width = 2;
  good.height = 2;
  good.pixels = Bytes(16, 1);  // rows of 6 bytes padded to 8

  struct Case {
    const char* what;
    void (*change)(BmpSpec&);
    grBmpError why;
  };
  using E = grBmpError;
  const Case cases[] = {
      {"run-length compressed", [](BmpSpec& s) { s.compression = 1; }, E::unsupportedCompression},
      {"bit fields", [](BmpSpec& s) { s.compression = 3; }, E::unsupportedCompression},
      {"16 bits", [](BmpSpec& s) { s.bitCount = 16; }, E::unsupportedBitCount},
      {"2 bits", [](BmpSpec& s) { s.bitCount = 2; }, E::unsupportedBitCount},
      {"0 bits", [](BmpSpec& s) { s.bitCount = 0; }, E::unsupportedBitCount},
      {"24 bits with biClrUsed", [](BmpSpec& s) { s.colorsUsed = 1; }, E::unsupportedBitCount},
      {"32 bits with biClrUsed", [](BmpSpec& s) { s.bitCount = 32, s.colorsUsed = 4; },
       E::unsupportedBitCount},
      {"zero width", [](BmpSpec& s) { s.width = 0; }, E::badDimensions},
      {"negative width", [](BmpSpec& s) { s.width = -2; }, E::badDimensions},
      {"zero height", [](BmpSpec& s) { s.height = 0; }, E::badDimensions},
      {"most negative height", [](BmpSpec& s) { s.height = INT32_MIN; }, E::badDimensions},
      {"one byte short", [](BmpSpec& s) { s.pixels.pop_back(); }, E::truncatedPixels},
      {"one row too many", [](BmpSpec& s) { s.height = 3; }, E::truncatedPixels},
      {"byte count overflows", [](BmpSpec& s) { s.width = s.height = 0x7FFFFFFF; },
       E::truncatedPixels},
      {"width times bits overflows", [](BmpSpec& s) { s.width = 0x40000000, s.bitCount = 32; },
       E::truncatedPixels},
      {"4-bit widening overflows", [](BmpSpec& s) { s.width = 0x7FFFFFF0, s.bitCount = 4; },
       E::truncatedPixels},
      {"core header", [](BmpSpec& s) { s.infoSize = 12; }, E::tooShort},
  };

  ofsvector<unsigned char> previous;
  ASSERT_TRUE(previous.allocate(3));
  grPixelStore store{true, 8};
  for (const Case& c : cases) {
    BmpSpec spec = good;
    c.change(spec);
    grImage2D image;
    image.pixels = previous;
    image.layout = 8;
    image.depthCode = 5;
    image.width = image.height = 77;
    image.pixelStore = &store;
    image.colorMaps.setSize(4);
    TempFile file(buildBmp(spec));
    grBmpFile bmp;
    EXPECT_FALSE(bmp.read(file.path()) && bmpToImage(image, bmp)) << c.what;
    EXPECT_EQ(bmp.problem.error, c.why) << c.what << ": " << bmpProblemText(bmp.problem);
    EXPECT_EQ(image.pixels.begin(), previous.begin()) << c.what;
    EXPECT_EQ(image.layout, 8u) << c.what;
    EXPECT_EQ(image.depthCode, 5u) << c.what;
    EXPECT_EQ(image.width, 77) << c.what;
    EXPECT_EQ(image.height, 77) << c.what;
    EXPECT_EQ(image.pixelStore, &store) << c.what;
    EXPECT_EQ(image.colorMaps.count, 4u) << c.what;
  }

  grImage2D exact;
  EXPECT_TRUE(describe(buildBmp(good), exact)) << "exactly the declared rows";

  grBmpFile unread;
  EXPECT_FALSE(bmpToImage(exact, unread));
  EXPECT_EQ(unread.problem.error, grBmpError::notRead);
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

struct Expected {
  int32_t width, height;
  uint32_t layout, depthCode, mapEntries;
  bool widened;
};

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

}  // namespace

TEST(BmpSuite, GoodFilesAreDescribedWithTheirOwnPixelsAndColours) {
  const std::map<std::string, Expected> described = {
      {"pal1.bmp", {127, 64, grLayoutColorIndex, grDepth1, 2, false}},
      {"pal1bg.bmp", {127, 64, grLayoutColorIndex, grDepth1, 2, false}},
      {"pal1wb.bmp", {127, 64, grLayoutColorIndex, grDepth1, 2, false}},
      {"pal4.bmp", {127, 64, grLayoutColorIndex, grDepth8, 16, true}},
      {"pal8-0.bmp", {127, 64, grLayoutColorIndex, grDepth8, 256, false}},
      {"pal8.bmp", {127, 64, grLayoutColorIndex, grDepth8, 256, false}},
      {"pal8nonsquare.bmp", {127, 32, grLayoutColorIndex, grDepth8, 256, false}},
      {"pal8topdown.bmp", {127, 64, grLayoutColorIndex, grDepth8, 256, false}},
      {"pal8v4.bmp", {127, 64, grLayoutColorIndex, grDepth8, 256, false}},
      {"pal8v5.bmp", {127, 64, grLayoutColorIndex, grDepth8, 256, false}},
      {"pal8w124.bmp", {124, 61, grLayoutColorIndex, grDepth8, 256, false}},
      {"pal8w125.bmp", {125, 62, grLayoutColorIndex, grDepth8, 256, false}},
      {"pal8w126.bmp", {126, 63, grLayoutColorIndex, grDepth8, 256, false}},
      {"rgb24.bmp", {127, 64, grLayoutBGR, grDepth8, 0, false}},
      {"rgb32.bmp", {127, 64, grLayoutBGRA, grDepth8, 0, false}},
  };
  // Compressed (RLE, bit fields), 16-bit, a 24-bit file with biClrUsed, and
  // an OS/2 core header.
  const std::set<std::string> refused = {"pal4rle.bmp", "pal8rle.bmp",      "rgb16-565.bmp",
                                         "rgb16.bmp",   "rgb16-565pal.bmp", "rgb24pal.bmp",
                                         "rgb32bf.bmp", "pal8os2.bmp"};

  const std::string dir = suiteDir() + "/g/";
  const std::vector<std::string> files = suiteFiles("g");
  ASSERT_EQ(files.size(), 23u) << "suite not found at " << dir;
  const Bytes pal8 = readFile(dir + "pal8.bmp");
  const Bytes pal8Pixels(pal8.begin() + 1062, pal8.end());

  for (const std::string& name : files) {
    SCOPED_TRACE(name);
    const Bytes bytes = readFile(dir + name);
    grBmpFile bmp;
    ASSERT_TRUE(bmp.read((dir + name).c_str()));
    grImage2D image;
    const bool accepted = bmpToImage(image, bmp);
    if (refused.count(name)) {
      EXPECT_FALSE(accepted);
      continue;
    }
    ASSERT_TRUE(accepted);
    ASSERT_TRUE(described.count(name)) << "accepted but not expected";
    const Expected& e = described.at(name);
    EXPECT_EQ(image.width, e.width);
    EXPECT_EQ(image.height, e.height);
    EXPECT_EQ(image.layout, e.layout);
    EXPECT_EQ(image.depthCode, e.depthCode);
    EXPECT_EQ(image.componentClass, grClassUnsigned);
    EXPECT_GE(image.pixels.size(), glReadExtent(image));

    const uint32_t offBits = get32(bytes, 10);
    if (e.widened) {
      EXPECT_EQ(image.pixels.offset, 0u);
    } else {
      EXPECT_EQ(image.pixels.offset, offBits);
      EXPECT_EQ(image.pixels.size(), bytes.size() - offBits);
      EXPECT_EQ(image.pixels.begin(), bmp.bits.begin());
    }
    // The same picture in other header versions and row orders.
    if (name == "pal8-0.bmp" || name == "pal8topdown.bmp" || name == "pal8v4.bmp" ||
        name == "pal8v5.bmp") {
      EXPECT_EQ(pixelBytes(image), pal8Pixels);
    } else if (!e.widened) {
      EXPECT_EQ(pixelBytes(image), Bytes(bytes.begin() + offBits, bytes.end()));
    }

    // Colour maps hold the palette stored after the header, black after it.
    ASSERT_EQ(image.colorMaps.count, e.mapEntries);
    const uint32_t paletteStart = 14 + get32(bytes, 14);
    const uint32_t stored = (offBits - paletteStart) / 4;
    const uint32_t named = get32(bytes, 46) ? get32(bytes, 46) : e.mapEntries;
    for (uint32_t j = 0; j < e.mapEntries; ++j) {
      tagRGBQUAD c = {0, 0, 0, 0};
      if (j < stored && j < named) std::memcpy(&c, &bytes[paletteStart + 4 * j], 4);
      expectMapEntry(image, j, c);
    }
  }
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

TEST(BmpSuite, QuestionableAndBadFilesNeverReadOutOfBounds) {
  const std::map<std::string, std::set<std::string>> acceptedByFolder = {
      {"q",
       {"pal1p1.bmp", "pal8offs.bmp", "pal8os2v2.bmp", "pal8oversizepal.bmp", "rgb24lprof.bmp",
        "rgb24prof.bmp", "rgb32fakealpha.bmp"}},
      {"b",
       {"badbitssize.bmp", "baddens1.bmp", "baddens2.bmp", "badfilesize.bmp", "badheadersize.bmp",
        "badpalettesize.bmp", "badplanes.bmp", "pal8badindex.bmp"}},
  };
  for (const auto& [folder, accepted] : acceptedByFolder) {
    const std::vector<std::string> files = suiteFiles(folder);
    ASSERT_EQ(files.size(), folder == "q" ? 21u : 14u) << "suite not found at " << suiteDir();
    for (const std::string& name : files) {
      SCOPED_TRACE(folder + "/" + name);
      grBmpFile bmp;
      ASSERT_TRUE(bmp.read((suiteDir() + "/" + folder + "/" + name).c_str()));
      grImage2D image;
      const bool ok = bmpToImage(image, bmp);
      EXPECT_EQ(ok, accepted.count(name) == 1);
      if (!ok) continue;
      EXPECT_GE(image.pixels.size(), glReadExtent(image));
      const uint32_t maps = image.colorMaps.count;
      EXPECT_TRUE(maps == 0 || (maps & (maps - 1)) == 0) << maps;
      EXPECT_LE(maps, 256u);
      touchAll(image);
    }
  }
}
