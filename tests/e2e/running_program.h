#pragma once
// Helpers for end-to-end tests that run the real program under a private X
// server: where the program is, a scratch working directory that is removed
// afterwards (the shared TempFolder), and a launched program that is killed if a test gives up on
// it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_file.h"
#include "tests/support/x_session.h"

namespace e2e {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The photographs the program reads from its working directory.
inline const char* const kPhotoNames[] = {"p6155961.bmp", "p6155955.bmp"};

// $BRELVANE_BINARY_DIR (CTest sets it), or "" when unset.
inline std::string binaryDir() {
  const char* dir = std::getenv("BRELVANE_BINARY_DIR");
  return dir ? dir : "";
}

// One run of the program: its pid, killed (and reaped) on destruction unless
// it has already ended.
class LaunchedProgram {
 public:
  LaunchedProgram(const testsupport::XSession& x, const std::string& binary,
                  const std::string& workdir, const std::vector<std::string>& env = {})
      : pid_(x.launch({binary}, workdir, env)) {}
  // The program with arguments, its standard error going to `stderrPath`
  // (through a shell that execs it, so the pid and argv[0] stay the program's).
  LaunchedProgram(const testsupport::XSession& x, const std::string& binary,
                  const std::vector<std::string>& args, const std::string& workdir,
                  const std::string& stderrPath)
      : pid_(x.launch(withStderr(binary, args), workdir, {"E2E_STDERR=" + stderrPath})) {}
  ~LaunchedProgram() {
    if (pid_ > 0 && !ended_) testsupport::XSession::kill(pid_);
  }
  LaunchedProgram(const LaunchedProgram&) = delete;
  LaunchedProgram& operator=(const LaunchedProgram&) = delete;

  pid_t pid() const { return pid_; }
  bool running() {
    if (ended_) return false;
    status_ = testsupport::XSession::waitExit(pid_, 0ms);
    ended_ = status_.has_value();
    return !ended_;
  }
  // Exit status (-1 on a signal) or nullopt when still running after `timeout`.
  std::optional<int> waitExit(std::chrono::milliseconds timeout) {
    if (!ended_) {
      status_ = testsupport::XSession::waitExit(pid_, timeout);
      ended_ = status_.has_value();
    }
    return status_;
  }

 private:
  static std::vector<std::string> withStderr(const std::string& binary,
                                             const std::vector<std::string>& args) {
    std::vector<std::string> argv{"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>\"$E2E_STDERR\"", binary};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
  }

  pid_t pid_;
  bool ended_ = false;
  std::optional<int> status_;
};

inline std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace e2e
