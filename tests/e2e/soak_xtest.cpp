// Soak: the real program under a minute or more of seeded random input
// (drags with each button, wheel turns, 'r', window resizes down to one
// pixel high) must stay responsive, keep its resident memory flat after a
// warm-up, make no GL error (Mesa's debug log) and still end with status 0
// on 'q'. BRELVANE_SOAK_SECONDS and BRELVANE_SOAK_SEED change the length and
// the input script.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/running_program.h"
#include "tests/scene/photo_files.h"
#include "tests/support/x_session.h"

namespace {

using namespace std::chrono_literals;
using e2e::LaunchedProgram;
using testsupport::Screenshot;
using testsupport::TempFolder;
using testsupport::XSession;

long environmentNumber(const char* name, long fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::strtol(value, nullptr, 10) : fallback;
}

// Resident set size in kB from /proc, 0 when the process is gone.
long residentKilobytes(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return 0;
}

// Pixels of the window's 640 x 480 area that differ between two captures.
long changedPixels(const Screenshot& a, const Screenshot& b) {
  if (a.width != b.width || a.height != b.height || a.rgb.empty()) return 0;
  long changed = 0;
  for (int y = 0; y < std::min(480, a.height - 1); ++y)
    for (int x = 0; x < std::min(640, a.width - 1); ++x)
      if (a.at(x, y) != b.at(x, y)) ++changed;
  return changed;
}

// Both photographs in the working directory: the build's samples when they
// are there, else pictures of four colours written here.
void providePhotographs(const TempFolder& dir) {
  namespace fs = std::filesystem;
  for (const char* name : e2e::kPhotoNames) {
    const fs::path sample = fs::path(e2e::binaryDir()) / name;
    std::error_code error;
    if (fs::exists(sample) && fs::copy_file(sample, dir.file(name), error)) continue;
    scenetest::writeQuadrantBmp(dir.file(name), 256, 256,
                                {{200, 40, 40}, {40, 200, 40}, {40, 40, 200}, {200, 200, 40}});
  }
}

class Soak : public ::testing::Test {
 protected:
  void SetUp() override {
    binary_ = e2e::binaryDir() + "/brelvane";
    ASSERT_EQ(access(binary_.c_str(), X_OK), 0) << binary_ << " (is BRELVANE_BINARY_DIR set?)";
    ASSERT_FALSE(dir_.path().empty());
    providePhotographs(dir_);
  }

  // The window's size as the X server reports it, e.g. "640x480".
  std::string geometry(const std::string& window) const {
    const std::string text = x_.xdotool("getwindowgeometry " + window);
    const auto at = text.find("Geometry: ");
    return at == std::string::npos ? "" : text.substr(at + 10);
  }

  XSession x_{1024, 768};
  TempFolder dir_;
  std::string binary_;
};

TEST_F(Soak, randomInputForAMinuteLeavesItResponsiveFlatInMemoryAndFreeOfGLErrors) {
  const auto duration = std::chrono::seconds(environmentNumber("BRELVANE_SOAK_SECONDS", 70));
  const auto warmUp = std::min<std::chrono::seconds>(15s, duration / 4);
  std::mt19937 random(uint32_t(environmentNumber("BRELVANE_SOAK_SEED", 20240607)));

  const std::string mesaLog = dir_.file("mesa.log");
  std::vector<std::string> env = {"MESA_DEBUG=1", "MESA_LOG_FILE=" + mesaLog};
  // A sanitizer build of the program would otherwise grow by its quarantine
  // of freed memory, which is not a leak.
  const char* asan = std::getenv("ASAN_OPTIONS");
  env.push_back(std::string("ASAN_OPTIONS=") + (asan ? std::string(asan) + ":" : "") +
                "quarantine_size_mb=8");
  LaunchedProgram program(x_, binary_, dir_.path(), env);
  const std::string window = x_.waitWindow(binary_, 15s);
  ASSERT_FALSE(window.empty()) << "no window titled " << binary_;
  std::this_thread::sleep_for(700ms);

  auto point = [&](int width, int height) {
    std::ostringstream out;
    out << std::uniform_int_distribution<int>(0, std::max(0, width - 1))(random) << ' '
        << std::uniform_int_distribution<int>(0, std::max(0, height - 1))(random);
    return out.str();
  };
  int width = 640, height = 480;
  auto resize = [&](int w, int h) {
    x_.xdotool("windowsize --sync " + window + " " + std::to_string(w) + " " + std::to_string(h));
    width = w;
    height = h;
  };
  auto moveInside = [&] { return "mousemove --window " + window + " " + point(width, height); };

  // Back at the start size, the frame must keep changing (the clock line
  // does every millisecond): two captures apart differ.
  std::vector<long> residentAfterWarmUp;
  int checks = 0;
  auto checkResponsive = [&] {
    resize(640, 480);
    EXPECT_EQ(geometry(window), "640x480") << "the window did not take its size back";
    std::this_thread::sleep_for(300ms);
    const Screenshot before = x_.screenshot();
    std::this_thread::sleep_for(300ms);
    const Screenshot after = x_.screenshot();
    ASSERT_TRUE(program.running()) << "the program ended during the soak";
    EXPECT_GT(changedPixels(before, after), 0) << "the frame stopped changing: not responsive";
    ++checks;
  };

  // Warm-up reaches the largest window the script uses, so the driver's
  // buffers for it exist before memory is measured.
  resize(1000, 740);
  std::this_thread::sleep_for(300ms);

  const auto start = std::chrono::steady_clock::now();
  auto nextCheck = start + 5s;
  int actions = 0, resizes = 0, flatResizes = 0;
  while (std::chrono::steady_clock::now() - start < duration) {
    const int buttons[] = {1, 2, 3};
    switch (std::uniform_int_distribution<int>(0, 9)(random)) {
      case 0:
      case 1:
      case 2:
      case 3: {  // a drag with one button over a few points
        const int button = buttons[std::uniform_int_distribution<int>(0, 2)(random)];
        std::string script = moveInside() + " mousedown " + std::to_string(button);
        for (int step = 0; step < 4; ++step) script += " " + moveInside();
        x_.xdotool(script + " mouseup " + std::to_string(button));
        break;
      }
      case 4:
      case 5: {  // wheel turns either way
        const int turns = std::uniform_int_distribution<int>(1, 4)(random);
        const char* direction = random() % 2 ? "4" : "5";
        x_.xdotool(moveInside() + " click --repeat " + std::to_string(turns) + " " + direction);
        break;
      }
      case 6:
        x_.xdotool(moveInside() + " key r");
        break;
      default: {  // resizes, a third of them to one pixel high
        const bool flat = std::uniform_int_distribution<int>(0, 2)(random) == 0;
        resize(std::uniform_int_distribution<int>(1, 1000)(random),
               flat ? 1 : std::uniform_int_distribution<int>(1, 740)(random));
        ++resizes;
        flatResizes += flat;
        break;
      }
    }
    ++actions;
    if (std::chrono::steady_clock::now() >= nextCheck) {
      checkResponsive();
      if (HasFatalFailure()) return;
      if (std::chrono::steady_clock::now() - start >= warmUp)
        residentAfterWarmUp.push_back(residentKilobytes(program.pid()));
      nextCheck = std::chrono::steady_clock::now() + 5s;
    }
  }
  checkResponsive();
  if (HasFatalFailure()) return;
  residentAfterWarmUp.push_back(residentKilobytes(program.pid()));

  std::ostringstream trace;
  for (long kb : residentAfterWarmUp) trace << kb << " ";
  RecordProperty("resident_kb", trace.str());
  std::printf("soak: %d actions (%d resizes, %d one pixel high), %d checks, VmRSS kB: %s\n",
              actions, resizes, flatResizes, checks, trace.str().c_str());
  EXPECT_GT(flatResizes, 0) << "the script never made the window one pixel high";
  ASSERT_GE(residentAfterWarmUp.size(), 3u) << "too short to judge memory";
  // Flat: nothing grows past the first two samples by more than a small
  // slack. Allocator and driver caches settle in steps, the driver's for
  // window sizes the script reaches for the first time a little after the
  // warm-up on a slow run; a leak keeps growing.
  const long first = std::max(residentAfterWarmUp[0], residentAfterWarmUp[1]);
  const long highest = *std::max_element(residentAfterWarmUp.begin(), residentAfterWarmUp.end());
  EXPECT_LE(highest, first + std::max(4096L, first / 20))
      << "resident memory grew: " << trace.str();

  x_.xdotool("mousemove --window " + window + " 320 240 key q");
  EXPECT_EQ(program.waitExit(10s), std::optional<int>(0)) << "'q' did not end it with status 0";

  const std::string log = e2e::readWholeFile(mesaLog);
  EXPECT_EQ(log.find("error"), std::string::npos) << "Mesa reported GL errors:\n"
                                                  << log.substr(0, 2000);
}

}  // namespace
