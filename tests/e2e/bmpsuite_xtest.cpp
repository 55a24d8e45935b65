// Every file of the BMP conformance suite given as both photographs: the
// program must open its window, keep running, and end with status 0 on 'q',
// whatever the file holds (good, questionable or broken). One X server per
// folder; the programs run one after another on it.
//
// The suite lives in the source tree, tests/data/bmpsuite.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/running_program.h"
#include "tests/support/x_session.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using e2e::LaunchedProgram;
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

class BmpSuite : public ::testing::Test {
 protected:
  void SetUp() override {
    binary_ = e2e::binaryDir() + "/brelvane";
    ASSERT_EQ(access(binary_.c_str(), X_OK), 0) << binary_ << " (is BRELVANE_BINARY_DIR set?)";
    suite_ = suiteDir();
    ASSERT_FALSE(suite_.empty())
        << "BMP suite not found under tests/data/bmpsuite (is BRELVANE_SOURCE_DIR set?)";
  }

  // Runs the program once per file of the folder, the file copied in as both
  // photographs, and reports each file that did not behave.
  void runFolder(const std::string& folder) {
    const std::vector<fs::path> files = bmpFiles(suite_ / folder);
    ASSERT_FALSE(files.empty()) << "no .bmp files in " << (suite_ / folder);
    XSession x;
    for (const fs::path& file : files) {
      SCOPED_TRACE(file.string());
      TempFolder dir;
      ASSERT_FALSE(dir.path().empty());
      for (const char* name : e2e::kPhotoNames) fs::copy_file(file, dir.file(name));

      LaunchedProgram program(x, binary_, dir.path());
      const std::string window = x.waitWindow(binary_, 10s);
      EXPECT_FALSE(window.empty()) << "no window";
      std::this_thread::sleep_for(1s);
      if (!program.running()) {
        ADD_FAILURE() << "ended within a second, status " << program.waitExit(0ms).value_or(-2);
        continue;
      }
      x.xdotool("mousemove --window " + window + " 320 240 key q");
      EXPECT_EQ(program.waitExit(10s), std::optional<int>(0)) << "'q' did not end it with 0";
      // No window of the program may outlive it.
      for (int i = 0; i < 50 && !x.xdotool("search --name '^" + binary_ + "$'").empty(); ++i)
        std::this_thread::sleep_for(20ms);
    }
  }

  std::string binary_;
  fs::path suite_;
};

TEST_F(BmpSuite, goodFilesLeaveTheProgramRunning) { runFolder("g"); }
TEST_F(BmpSuite, questionableFilesLeaveTheProgramRunning) { runFolder("q"); }
TEST_F(BmpSuite, badFilesLeaveTheProgramRunning) { runFolder("b"); }

}  // namespace
