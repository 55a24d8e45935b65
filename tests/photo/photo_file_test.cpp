// Photographs as people have them, through the one entry point
// (grPhotoFile::read): every file of the PNG conformance suite, JPEG and PNG
// files that ImageMagick, Pillow, cjpeg and netpbm wrote in every variant
// (tests/data/photos, with EXIF orientations set by exiftool and Pillow),
// and pictures carrying colour profiles (tests/data/profiles). Each is
// shown as its reference (decoded by Pillow, turned upright, converted to
// sRGB by Little CMS through Pillow), shown with a note, or refused with
// its reason, as its manifest says.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "photo/photo_file.h"
#include "tests/graphics/picture_compare.h"

using namespace libgr;
using picturetest::Picture;

namespace {

std::string dataFolder() {
  const char* source = std::getenv("BRELVANE_SOURCE_DIR");
  return std::string(source ? source : ".") + "/tests/data/";
}

// One manifest line: tab-separated columns, '#' lines skipped.
std::vector<std::vector<std::string>> readManifest(const std::string& name) {
  std::ifstream in(dataFolder() + name);
  std::vector<std::vector<std::string>> rows;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> columns;
    std::istringstream fields(line);
    for (std::string column; std::getline(fields, column, '\t');) columns.push_back(column);
    rows.push_back(columns);
  }
  return rows;
}

// The words a refusal or a note must contain, by the manifests' "why".
const std::map<std::string, std::string> kReasonWords = {
    {"truncated", "ends early"},
    {"badcrc", "checksum"},
    {"hugedeclared", "larger picture than its bytes|over 100 megapixels|a side is over"},
    {"corrupt", "damaged"},
    {"pasttable", "past its colour table"}};

bool saysAnyOf(const std::string& text, const std::string& alternatives) {
  std::istringstream words(alternatives);
  for (std::string word; std::getline(words, word, '|');)
    if (text.find(word) != std::string::npos) return true;
  return false;
}

// Mean distance per sample between the picture shown and a reference.
double meanDistance(const grImage2D& image, const Picture& to) {
  double total = 0;
  for (int row = 0; row < image.height; ++row)
    for (int x = 0; x < image.width; ++x) {
      const auto got = picturetest::resolve(image, x, row);
      const auto& want = to.at(x, image.height - 1 - row);
      for (int c = 0; c < 3; ++c) total += std::abs((*got)[c] - want[c]);
    }
  return total / (3.0 * image.width * image.height);
}

// Shown as `reference` within `tolerance`: the largest difference of any
// sample ("3"), or for lossy pictures whose edges ring the mean difference
// ("~4.5"). "" or what is wrong.
std::string shownAs(const grImage2D& image, const std::string& reference,
                    const std::string& tolerance) {
  const std::optional<Picture> expected = picturetest::readPam(dataFolder() + reference);
  if (!expected) return "reference " + reference + " cannot be read";
  if (image.width != expected->width || image.height != expected->height)
    return "size " + std::to_string(image.width) + " x " + std::to_string(image.height) +
           ", reference " + std::to_string(expected->width) + " x " +
           std::to_string(expected->height);
  if (tolerance.empty() || tolerance[0] != '~')
    return picturetest::differences(image, *expected, std::stoi(tolerance));
  const double mean = meanDistance(image, *expected);
  return mean <= std::stod(tolerance.substr(1))
             ? ""
             : "mean difference " + std::to_string(mean) + ", over " + tolerance.substr(1);
}

// The reason this build refuses the file at `path` with before reading it,
// when its format is one the build leaves out; empty otherwise.
std::string refusedByThisBuild(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char head[64] = {};
  in.read(reinterpret_cast<char*>(head), sizeof head);
  const grPhotoFormat format = sniffPhotoFormat(head, std::size_t(in.gcount()));
  return format == grPhotoFormat::unknown ? "" : unreadableFormatReason(format);
}

// Skips a test of a format this build leaves out.
#define SKIP_UNLESS_BUILT(format) \
  if (!isReadablePhotoFormat(format)) GTEST_SKIP() << unreadableFormatReason(format)

// file, reference, expected (shown|flawed|refused), maxdiff, note[, why]
void checkOutcomes(const std::string& manifest, size_t atLeast) {
  const auto rows = readManifest(manifest);
  ASSERT_GE(rows.size(), atLeast) << manifest << " is missing or short";
  for (const auto& row : rows) {
    ASSERT_GE(row.size(), 4u);
    SCOPED_TRACE(row[0]);
    const std::string& expected = row[2];
    const std::string why = row.size() > 5 ? row[5] : "-";
    grPhotoFile file;
    grImage2D image;
    // The image libraries' own messages never reach the user: whatever a
    // file holds, the reason is the program's, said once by the caller.
    testing::internal::CaptureStderr();
    const bool read = file.read((dataFolder() + row[0]).c_str(), image);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    if (const std::string reason = refusedByThisBuild(dataFolder() + row[0]); !reason.empty()) {
      EXPECT_FALSE(read);
      EXPECT_EQ(file.problem, reason);
      continue;
    }
    if (expected == "refused") {
      EXPECT_FALSE(read) << "shown, but it should be refused";
      EXPECT_FALSE(file.problem.empty());
      if (kReasonWords.count(why)) {
        EXPECT_PRED2(saysAnyOf, file.problem, kReasonWords.at(why));
      }
      if (why == "notimage") {
        EXPECT_EQ(file.problem, unreadableFormatReason(grPhotoFormat::unknown));
      }
      continue;
    }
    ASSERT_TRUE(read) << file.problem;
    if (expected == "shown") {
      EXPECT_EQ(file.flaw, "");
    }
    if (expected == "flawed") {
      EXPECT_NE(file.flaw, "");
      if (kReasonWords.count(why)) {
        EXPECT_PRED2(saysAnyOf, file.flaw, kReasonWords.at(why));
      }
    }
    EXPECT_EQ(shownAs(image, row[1], row[3]), "");
  }
}

TEST(PhotoFile, everyPngSuiteFileIsShownOrRefused) { checkOutcomes("pngsuite/manifest.tsv", 170); }

TEST(PhotoFile, everyToolWrittenJpegAndPngIsShownUprightOrRefusedWithItsReason) {
  checkOutcomes("photos/manifest.tsv", 90);
}

// HEIC and AVIF as phones, encoders and converters write them: grids,
// transforms with and without an EXIF orientation, 8 to 12 bits, alpha,
// every subsampling and range, ICC and nclx colours, HDR made from SDR
// pictures, damaged and hostile files.
TEST(PhotoFile, everyHeifAndAvifIsShownUprightInItsColoursOrRefusedWithItsReason) {
  checkOutcomes("heif/manifest.tsv", 30);
}

// TIFF in every compression, bit depth, photometric and layout libtiff
// writes, with alpha, profiles, orientations, and damaged files.
TEST(PhotoFile, everyTiffIsShownUprightInItsColoursOrRefusedWithItsReason) {
  checkOutcomes("tiff/manifest.tsv", 40);
}

// WebP, GIF and JPEG XL as their own tools write them: lossy, lossless,
// alpha, the first frame of animations, colour profiles, orientations,
// interlaced and partial GIF frames, damaged and hostile files.
TEST(PhotoFile, everyWebpGifAndJpegXlIsShownOrRefusedWithItsReason) {
  checkOutcomes("web/manifest.tsv", 30);
}

// The program reads its two photographs on two threads at once: every
// picture the manifests show comes out the same when two threads read it
// side by side (no reader keeps state between reads or threads).
TEST(PhotoFile, everyFormatReadsTheSameOnTwoThreadsAtOnce) {
  for (const char* manifest :
       {"photos/manifest.tsv", "heif/manifest.tsv", "tiff/manifest.tsv", "web/manifest.tsv"}) {
    for (const auto& row : readManifest(manifest)) {
      if (row.size() < 4 || row[2] == "refused" || row[1] == "-") continue;
      const std::string path = dataFolder() + row[0];
      if (!refusedByThisBuild(path).empty()) continue;
      SCOPED_TRACE(row[0]);
      std::string outcome[2];
      const auto readOnce = [&](std::string& said) {
        grPhotoFile file;
        grImage2D image;
        said = file.read(path.c_str(), image) ? shownAs(image, row[1], row[3]) : file.problem;
      };
      std::thread first(readOnce, std::ref(outcome[0])), second(readOnce, std::ref(outcome[1]));
      first.join();
      second.join();
      EXPECT_EQ(outcome[0], "");
      EXPECT_EQ(outcome[1], "");
    }
  }
}

// file, managed, unmanaged, tolerance, outcome (converted|srgb|unused), note, source
TEST(PhotoFile, embeddedProfilesAreConvertedToSrgb) {
  const auto rows = readManifest("profiles/manifest.tsv");
  ASSERT_GE(rows.size(), 30u);
  for (const auto& row : rows) {
    ASSERT_GE(row.size(), 7u);
    SCOPED_TRACE(row[0]);
    grPhotoFile file;
    grImage2D image;
    const bool read = file.read((dataFolder() + row[0]).c_str(), image);
    if (const std::string reason = refusedByThisBuild(dataFolder() + row[0]); !reason.empty()) {
      EXPECT_EQ(file.problem, reason);
      continue;
    }
    ASSERT_TRUE(read) << file.problem;
    const std::string& outcome = row[4];
    if (outcome == "unused")
      EXPECT_NE(file.flaw.find("colour profile"), std::string::npos) << file.flaw;
    else
      EXPECT_EQ(file.flaw, "");
    EXPECT_EQ(shownAs(image, outcome == "converted" ? row[1] : row[2], row[3]), "");
    if (outcome != "converted") continue;
    // Nearer the picture the file stands for than its numbers as they stand.
    const auto source = picturetest::readPam(dataFolder() + row[6]);
    const auto unmanaged = picturetest::readPam(dataFolder() + row[2]);
    ASSERT_TRUE(source && unmanaged);
    double unmanagedDistance = 0;
    for (std::size_t i = 0; i < source->pixels.size(); ++i)
      for (int c = 0; c < 3; ++c)
        unmanagedDistance += std::abs(source->pixels[i][c] - unmanaged->pixels[i][c]);
    unmanagedDistance /= 3.0 * source->pixels.size();
    // sRGB-profile files are as near either way; the others far nearer.
    EXPECT_LT(meanDistance(image, *source), std::min(unmanagedDistance, 3.0) + 0.5);
  }
}

// A JPEG is decoded at the smallest DCT scale that covers what is asked for.
TEST(PhotoFile, jpegsAreDecodedAtTheSmallestCoveringScale) {
  SKIP_UNLESS_BUILT(grPhotoFormat::jpeg);
  const std::string path = dataFolder() + "photos/pil-busy-640x480.jpg";
  struct Case {
    uint32_t needW, needH;
    int32_t w, h;
  } cases[] = {{640, 480, 640, 480}, {1024, 512, 640, 480}, {320, 240, 320, 240},
               {300, 100, 320, 240}, {100, 100, 160, 120},  {1, 1, 80, 60}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.needW) + " x " + std::to_string(c.needH));
    grPhotoFile file;
    grImage2D image;
    ASSERT_TRUE(file.read(path.c_str(), image, [&](grPhotoSize upright) {
      EXPECT_EQ(upright.width, 640u);
      return grPhotoSize{c.needW, c.needH};
    }));
    EXPECT_EQ(image.width, c.w);
    EXPECT_EQ(image.height, c.h);
    EXPECT_EQ(file.fullSize.width, 640u);
  }
}

// Asked to, the readers decode into a block of the size given, the image
// using only its own bytes of it; a picture then resampled hands the block
// back in spareBlock (one used at its decoded size keeps it as its storage).
TEST(PhotoFile, theDecodeBlockIsKeptSpareWhenThePictureIsResampled) {
  constexpr uint32_t kBlock = 4u << 20;
  const auto sized = [](uint32_t w, uint32_t h) {
    return [=](grPhotoSize) { return grPhotoSize{w, h}; };
  };
  SKIP_UNLESS_BUILT(grPhotoFormat::jpeg);
  SKIP_UNLESS_BUILT(grPhotoFormat::png);
  for (const char* name : {"photos/pil-busy-640x480.jpg", "photos/pil-busy-640x480.png"}) {
    SCOPED_TRACE(name);
    const std::string path = dataFolder() + name;
    grPhotoFile file;
    file.decodeBlockBytes = [](grPhotoSize stored) { return stored.width == 640 ? kBlock : 0u; };
    grImage2D image;
    ASSERT_TRUE(file.read(path.c_str(), image, {}, sized(512, 512)));
    EXPECT_EQ(file.spareBlock.storageBytes(), kBlock);
    EXPECT_FALSE(image.pixels.sharesStorageWith(file.spareBlock));
    ASSERT_TRUE(file.read(path.c_str(), image, {}, sized(640, 480)));
    EXPECT_FALSE(file.spareBlock.hasStorage());
    EXPECT_EQ(image.pixels.storageBytes(), kBlock);
    EXPECT_EQ(image.pixels.size(), 640u * 480u * 3u);
    file.decodeBlockBytes = {};
    ASSERT_TRUE(file.read(path.c_str(), image, {}, sized(512, 512)));
    EXPECT_FALSE(file.spareBlock.hasStorage());
  }
}

}  // namespace
