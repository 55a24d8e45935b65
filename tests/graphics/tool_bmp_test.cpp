// BMP files as ImageMagick, Pillow and netpbm write them, in every variant
// each writes (tests/data/toolbmps, made by its make.py): each must be read
// and described so that what OpenGL makes of the description is the picture
// the tool was given. The description is resolved here as GL resolves it
// (luminance, colour index through the colour maps, BGR(A), packed pixels,
// rows padded to the unpack alignment, bottom row first).
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/bmp.h"
#include "tests/graphics/picture_compare.h"

using namespace libgr;

namespace {

using picturetest::differences;
using picturetest::Picture;
using picturetest::readPam;

std::string folder() {
  const char* source = std::getenv("BRELVANE_SOURCE_DIR");
  return std::string(source ? source : ".") + "/tests/data/toolbmps/";
}

struct ManifestEntry {
  std::string file, reference;
  int tolerance = 0;
};

std::vector<ManifestEntry> manifest() {
  std::ifstream in(folder() + "manifest.txt");
  std::vector<ManifestEntry> entries;
  ManifestEntry entry;
  while (in >> entry.file >> entry.reference >> entry.tolerance) entries.push_back(entry);
  return entries;
}

TEST(ToolBmp, EveryVariantOfEveryToolShowsThePictureItWasGiven) {
  const std::vector<ManifestEntry> entries = manifest();
  // Every tool, each in its many variants: a lost manifest must not pass.
  int perTool[3] = {0, 0, 0};
  for (const ManifestEntry& e : entries)
    for (int t = 0; t < 3; ++t)
      perTool[t] += e.file.rfind(std::array{"im-", "pil-", "pbm-"}[t], 0) == 0;
  EXPECT_GE(perTool[0], 20) << "ImageMagick files";
  EXPECT_GE(perTool[1], 6) << "Pillow files";
  EXPECT_GE(perTool[2], 12) << "netpbm files";

  for (const ManifestEntry& e : entries) {
    SCOPED_TRACE(e.file);
    const std::optional<Picture> expected = readPam(folder() + e.reference);
    ASSERT_TRUE(expected) << e.reference;
    grBmpFile file;
    grImage2D image;
    if (!file.read((folder() + e.file).c_str()) || !bmpToImage(image, file)) {
      ADD_FAILURE() << "refused: " << bmpProblemText(file.problem);
      continue;
    }
    ASSERT_EQ(image.width, expected->width);
    ASSERT_EQ(image.height, expected->height);
    EXPECT_EQ(differences(image, *expected, e.tolerance), "");
  }
}

}  // namespace
