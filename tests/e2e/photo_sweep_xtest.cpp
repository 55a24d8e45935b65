// Every file of the BMP conformance suite given as both photographs on the
// command line: the program must open its window, keep running, and end with
// status 0 on 'q', whatever the file holds (good, questionable or broken).
// A good file must be shown as it is: the wall and the floor on screen match
// a run with the same picture as a plain 24-bit file (ImageMagick's decoding),
// and nothing is said on standard error. A bad file gets one line on standard
// error for each photograph, naming the file. One X server per folder; the
// programs run one after another on it.
//
// The same for the files real tools wrote (tests/data/toolbmps), and for a
// representative set of JPEG, PNG, HEIC and AVIF photographs
// (tests/data/photos, tests/data/profiles, tests/data/heif: every coding,
// turned upright, colour-managed, HDR, damaged, hostile, and under the
// default .bmp names). Also the command line itself:
// --help, an unknown option, a missing file.
//
// The suite lives in the source tree, tests/data/bmpsuite.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/running_program.h"
#include "tests/support/temp_file.h"
#include "tests/support/x_session.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using e2e::LaunchedProgram;
using testsupport::Screenshot;
using testsupport::TempFolder;
using testsupport::XSession;

fs::path suiteDir() {
  const char* source = std::getenv("BRELVANE_SOURCE_DIR");
  const fs::path dir = fs::path(source ? source : ".") / "tests" / "data" / "bmpsuite";
  return fs::is_directory(dir / "g") ? dir : fs::path();
}

std::vector<fs::path> bmpFiles(const fs::path& dir) {
  std::vector<fs::path> files;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(dir, error))
    if (entry.path().extension() == ".bmp") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// Mean colours of square blocks over the parts of the window where the
// starting view shows the wall (its middle, clear of its edges) and the floor
// (its far part; the near part is below the window). Window coordinates.
struct Region {
  int x0, y0, x1, y1;
};
constexpr Region kWall{195, 115, 445, 365};
constexpr Region kFloor{200, 385, 440, 465};
constexpr int kBlock = 10;

std::vector<std::array<double, 3>> blockMeans(const Screenshot& shot, const Region& r) {
  std::vector<std::array<double, 3>> means;
  for (int y = r.y0; y + kBlock <= r.y1; y += kBlock)
    for (int x = r.x0; x + kBlock <= r.x1; x += kBlock) {
      const auto [rx, ry] = testsupport::windowPixel(x, y);
      means.push_back(shot.mean(rx, ry, rx + kBlock, ry + kBlock));
    }
  return means;
}

// Fraction of blocks whose mean colours differ by more than `tolerance` in
// some channel.
double differingBlocks(const std::vector<std::array<double, 3>>& a,
                       const std::vector<std::array<double, 3>>& b, double tolerance) {
  int differing = 0;
  for (size_t i = 0; i < a.size(); ++i)
    for (int c = 0; c < 3; ++c)
      if (std::abs(a[i][c] - b[i][c]) > tolerance) {
        ++differing;
        break;
      }
  return a.empty() ? 1.0 : double(differing) / double(a.size());
}

// Fraction of blocks wholly of the clear colour: nothing drawn there.
double backgroundBlocks(const Screenshot& shot, const Region& r) {
  int background = 0, blocks = 0;
  for (int y = r.y0; y + kBlock <= r.y1; y += kBlock)
    for (int x = r.x0; x + kBlock <= r.x1; x += kBlock, ++blocks) {
      const auto [rx, ry] = testsupport::windowPixel(x, y);
      background += shot.fractionNear(rx, ry, rx + kBlock, ry + kBlock, {46, 46, 46}, 2) > 0.9;
    }
  return blocks ? double(background) / blocks : 1.0;
}

struct ProgramRun {
  bool ranUntilQ = false;
  std::string stderrText;
  Screenshot shot;
};

class PhotographSweep : public ::testing::Test {
 protected:
  void SetUp() override {
    binary_ = e2e::binaryDir() + "/brelvane";
    ASSERT_EQ(access(binary_.c_str(), X_OK), 0) << binary_ << " (is BRELVANE_BINARY_DIR set?)";
    suite_ = suiteDir();
    ASSERT_FALSE(suite_.empty())
        << "BMP suite not found under tests/data/bmpsuite (is BRELVANE_SOURCE_DIR set?)";
  }

  // Runs the program with `args`, a second after its window shows takes a
  // screenshot, then ends it with 'q'; failures are reported on the way.
  // The program runs in `workDir` (a fresh folder when empty).
  ProgramRun runProgram(XSession& x, const std::vector<std::string>& args,
                        const std::string& workDir = "") {
    ProgramRun run;
    TempFolder dir;
    EXPECT_FALSE(dir.path().empty());
    const std::string errors = dir.file("stderr.txt");
    LaunchedProgram program(x, binary_, args, workDir.empty() ? dir.path() : workDir, errors);
    const std::string window = x.waitWindow(binary_, 10s);
    EXPECT_FALSE(window.empty()) << "no window";
    std::this_thread::sleep_for(1s);
    if (!program.running()) {
      ADD_FAILURE() << "ended within a second, status " << program.waitExit(0ms).value_or(-2);
    } else {
      run.shot = x.screenshot();
      x.xdotool("mousemove --window " + window + " 320 240 key q");
      run.ranUntilQ = program.waitExit(10s) == std::optional<int>(0);
      EXPECT_TRUE(run.ranUntilQ) << "'q' did not end it with 0";
    }
    run.stderrText = e2e::readWholeFile(errors);
    // No window of the program may outlive it.
    for (int i = 0; i < 50 && !x.xdotool("search --name '^" + binary_ + "$'").empty(); ++i)
      std::this_thread::sleep_for(20ms);
    return run;
  }

  // Each standard-error line names `file` as given, then says why.
  static void expectLinesNaming(const std::string& stderrText, const std::string& file,
                                size_t count) {
    const std::vector<std::string> said = lines(stderrText);
    EXPECT_EQ(said.size(), count) << stderrText;
    for (const std::string& line : said)
      EXPECT_TRUE(line.rfind("brelvane: " + file + ": ", 0) == 0 && line.size() > file.size() + 12)
          << line;
  }

  // The wall and floor of the run showing a plain 24-bit copy of `file`'s
  // picture, as ImageMagick decodes it; runs once per distinct picture.
  const ProgramRun& referenceRun(XSession& x, const fs::path& file, const TempFolder& dir) {
    const std::string copy = dir.file("reference.bmp");
    EXPECT_EQ(x.run("/usr/bin/convert '" + file.string() + "' -alpha off -type truecolor BMP3:'" +
                    copy + "' 2>&1"),
              0);
    const std::string key = e2e::readWholeFile(copy);
    auto known = references_.find(key);
    if (known == references_.end())
      known = references_.emplace(key, runProgram(x, {copy, copy})).first;
    return known->second;
  }

  // Each file, given as both photographs, is shown without a word on
  // standard error, as a plain 24-bit copy of its picture is (the picture
  // being the file itself, or a reference of how it must look).
  void expectShownAsTheyAre(const std::vector<fs::path>& files,
                            const std::vector<fs::path>& pictures = {}) {
    XSession x;
    TempFolder dir;
    for (size_t i = 0; i < files.size(); ++i) {
      const fs::path& file = files[i];
      SCOPED_TRACE(file.string());
      const ProgramRun run = runProgram(x, {file.string(), file.string()});
      EXPECT_EQ(run.stderrText, "");
      if (!run.ranUntilQ) continue;
      const ProgramRun& reference = referenceRun(x, pictures.empty() ? file : pictures[i], dir);
      expectSameWallAndFloor(run, reference);
    }
  }

  static void expectSameWallAndFloor(const ProgramRun& run, const ProgramRun& reference) {
    {
      // The lit floor cannot pass for the clear colour; the wall, lit by the
      // ambient light alone, shows white as dark grey.
      EXPECT_LT(backgroundBlocks(reference.shot, kFloor), 0.05) << "the reference shows nothing";
      // Drops cross the wall (at other places in the two runs), not the floor.
      const struct {
        Region region;
        double differing;
        const char* name;
      } parts[] = {{kWall, 0.15, "wall"}, {kFloor, 0.03, "floor"}};
      for (const auto& part : parts) {
        const auto shown = blockMeans(run.shot, part.region);
        const auto expected = blockMeans(reference.shot, part.region);
        EXPECT_LE(differingBlocks(shown, expected, 6.0), part.differing) << part.name;
      }
    }
  }

  std::string binary_;
  fs::path suite_;
  std::map<std::string, ProgramRun> references_;  // by the reference file's bytes
};

TEST_F(PhotographSweep, goodFilesAreShownAsTheyAre) {
  const std::vector<fs::path> files = bmpFiles(suite_ / "g");
  ASSERT_FALSE(files.empty());
  expectShownAsTheyAre(files);
}

// Files as ImageMagick, Pillow and netpbm write them. Those with alpha are
// left to the decoding test: a translucent wall shows what lies behind it.
TEST_F(PhotographSweep, toolWrittenFilesAreShownAsTheyAre) {
  std::vector<fs::path> files;
  for (const fs::path& file : bmpFiles(suite_.parent_path() / "toolbmps")) {
    const std::string name = file.filename().string();
    if (name.find("alpha") == std::string::npos && name.find("argb") == std::string::npos)
      files.push_back(file);
  }
  ASSERT_GE(files.size(), 30u);
  expectShownAsTheyAre(files);
}

TEST_F(PhotographSweep, questionableFilesLeaveTheProgramRunning) {
  XSession x;
  for (const fs::path& file : bmpFiles(suite_ / "q")) {
    SCOPED_TRACE(file.string());
    const ProgramRun run = runProgram(x, {file.string(), file.string()});
    // Shown, or refused with a word for each photograph.
    if (!run.stderrText.empty()) expectLinesNaming(run.stderrText, file.string(), 2);
  }
}

TEST_F(PhotographSweep, badFilesAreNamedWithTheReasonAndTheProgramRuns) {
  XSession x;
  for (const fs::path& file : bmpFiles(suite_ / "b")) {
    SCOPED_TRACE(file.string());
    const ProgramRun run = runProgram(x, {file.string(), file.string()});
    // RLE data that runs past its canvas may be decoded inside it instead.
    const std::string stem = file.stem().string();
    if (run.stderrText.empty() && (stem == "badrle" || stem == "rletopdown")) continue;
    expectLinesNaming(run.stderrText, file.string(), 2);
  }
}

fs::path dataDir() { return suiteDir().parent_path(); }

// One file of each coding and orientation kind, with the reference of how
// it must look (upright, in sRGB).
TEST_F(PhotographSweep, photographsOfEveryFormatAreShownUprightInTheirColours) {
  const char* const cases[][2] = {
      {"photos/cjpeg-420.jpg", "photos/references/cjpeg-420.pam"},
      {"photos/cjpeg-arith-progressive.jpg", "photos/references/cjpeg-420.pam"},
      {"photos/im-ycck.jpg", "photos/references/im-ycck.pam"},
      {"photos/exif-ii-6.jpg", "photos/references/exif-ii-6.pam"},
      {"photos/exif-mm-7.jpg", "photos/references/exif-ii-7.pam"},
      {"photos/exif-3.png", "photos/references/wide.pam"},
      {"photos/pil-busy-640x480.jpg", "photos/references/pil-busy-640x480.pam"},
      {"profiles/jpeg-swapped.jpg", "profiles/ref/jpeg-swapped.srgb.pam"},
      {"profiles/png-widegamut.png", "profiles/ref/png-widegamut.srgb.pam"},
      {"heif/heic-phone-like.heic", "heif/references/phone.pam"},
      {"heif/heic-irot3-exif6.heic", "heif/references/quad.pam"},
      {"heif/avifenc-pq.avif", "heif/references/quad.pam"},
      {"heif/avifenc-420.avif", "heif/references/avifenc-420.pam"},
      {"web/webp-exif6.webp", "web/references/quad-orientation6.pam"},
      {"web/gif-interlaced.gif", "web/references/palette.pam"},
      {"web/jxl-orientation6.jxl", "web/references/quad-jpeg-orientation6.pam"},
      {"tiff/pil-orientation-7.tif", "tiff/references/pil-orientation-7.pam"},
      {"tiff/pil-cmyk-profile.tif", "tiff/references/pil-cmyk-profile.pam"},
  };
  std::vector<fs::path> files, pictures;
  for (const auto& c : cases) {
    files.push_back(dataDir() / c[0]);
    pictures.push_back(dataDir() / c[1]);
    ASSERT_TRUE(fs::exists(files.back()) && fs::exists(pictures.back())) << c[0] << ", " << c[1];
  }
  expectShownAsTheyAre(files, pictures);
}

// Damaged and hostile files: named, the reason or the damage said, and the
// program runs on.
TEST_F(PhotographSweep, damagedAndHostilePhotographsAreNamedAndTheProgramRuns) {
  XSession x;
  const struct {
    const char* file;
    const char* words;
  } cases[] = {
      {"photos/bad-huge.png", "over 100 megapixels"},
      {"photos/bad-huge.jpg", "over 100 megapixels"},
      {"photos/bad-idat-crc.png", "checksum"},
      {"photos/not-text.jpg", "not a BMP, JPEG, PNG, GIF, WebP, TIFF, JPEG XL, AVIF or HEIF file"},
      {"web/webp-flat-huge.webp", "larger picture than its bytes"},
      {"tiff/mk-garbage.tif", "damaged TIFF data"},
      // libjxl would print a complaint of its own about this one.
      {"web/jxl-garbage.jxl", "damaged JPEG XL data"},
      {"web/gif-cut.gif", "shown, but the file ends early"},
      {"heif/bad-huge-ispe.heic", "over 100 megapixels"},
      {"heif/cut-heic-data.heic", "the file ends early"},
      {"heif/bad-garbage-after-ftyp.heic", "damaged HEIF structure"},
      // Found by the fuzzer: AV1 items of no bytes, on which the AV1
      // decoder would print to stderr (the line count says it did not).
      {"../fuzz_corpus/regression-avif-empty-item.avif", "damaged AVIF data"},
      {"../fuzz_corpus/regression-avif-iloc-3-byte-lengths.avif", "damaged AVIF data"},
      // An HEVC parameter set whose block sizes disagree, on which
      // libde265 printed a complaint of its own.
      {"../fuzz_corpus/regression-heic-sps-cb-alignment.heic", "damaged HEIF data"},
      // A grid of a few tiles declaring a canvas of 58082 x 58082 in
      // its own data, which libheif would allocate and fill.
      {"../fuzz_corpus/regression-heic-grid-canvas-58082.heic", "over 100 megapixels"},
      // Two meta boxes, the first (libheif's) with an item table of field
      // sizes the format does not allow: the AV1 decoder would be handed no
      // bytes and print a complaint of its own.
      {"../fuzz_corpus/regression-avif-second-meta-box.avif", "damaged AVIF data"},
      {"photos/cut-baseline.jpg", "shown, but the file ends early"},
      {"profiles/png-cut.png", "shown, but its colour profile was not used"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string file = (dataDir() / c.file).string();
    ASSERT_TRUE(fs::exists(file));
    const ProgramRun run = runProgram(x, {file, file});
    expectLinesNaming(run.stderrText, file, 2);
    EXPECT_NE(run.stderrText.find(c.words), std::string::npos) << run.stderrText;
  }
}

// The default names hold what they hold: a JPEG wall and a PNG floor.
TEST_F(PhotographSweep, photographsUnderTheDefaultBmpNamesAreShownByTheirContent) {
  XSession x;
  TempFolder dir;
  fs::copy_file(dataDir() / "photos/pil-busy-640x480.jpg", dir.file("p6155961.bmp"));
  fs::copy_file(dataDir() / "photos/pil-busy-640x480.png", dir.file("p6155955.bmp"));
  const ProgramRun run = runProgram(x, {}, dir.path());
  EXPECT_EQ(run.stderrText, "");
  const ProgramRun& reference =
      referenceRun(x, dataDir() / "photos/references/pil-busy-640x480.pam", dir);
  expectSameWallAndFloor(run, reference);
}

TEST_F(PhotographSweep, commandLineHelpMisuseAndMissingPhotograph) {
  XSession x;
  TempFolder dir;
  std::string out;
  EXPECT_EQ(x.run("'" + binary_ + "' --help 2>'" + dir.file("help.err") + "'", &out), 0);
  EXPECT_EQ(out.rfind("usage: brelvane", 0), 0u) << out;
  EXPECT_EQ(e2e::readWholeFile(dir.file("help.err")), "");

  EXPECT_EQ(x.run("'" + binary_ + "' --no-such-option 2>'" + dir.file("bad.err") + "'", &out), 2);
  EXPECT_EQ(out, "");
  EXPECT_NE(e2e::readWholeFile(dir.file("bad.err")).find("usage: brelvane"), std::string::npos);

  const std::string good = (suite_ / "g" / "rgb24.bmp").string();
  const ProgramRun run = runProgram(x, {"no-such-photo.bmp", good});
  expectLinesNaming(run.stderrText, "no-such-photo.bmp", 1);
  EXPECT_NE(run.stderrText.find("not found"), std::string::npos) << run.stderrText;
  // The floor that was found is still shown.
  EXPECT_LT(backgroundBlocks(run.shot, kFloor), 0.05);
  EXPECT_GT(backgroundBlocks(run.shot, kWall), 0.5);
}

}  // namespace
