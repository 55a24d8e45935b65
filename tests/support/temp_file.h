#pragma once
// Temporary files and folders for tests, removed when their objects go:
// TempFile, a file with known bytes (names unique per process and per file);
// TempFolder, a fresh folder for files a test writes or a program runs in;
// WorkingFolderScope, a working directory changed for a scope.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace testsupport {

class TempFile {
 public:
  explicit TempFile(const std::vector<unsigned char>& bytes, const std::string& suffix = ".bin") {
    path_ = testing::TempDir() + "brelvane_" + std::to_string(getpid()) + "_" +
            std::to_string(counter_++) + suffix;
    std::ofstream out(path_, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  ~TempFile() { std::remove(path_.c_str()); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  const char* path() const { return path_.c_str(); }

 private:
  static inline int counter_ = 0;
  std::string path_;
};

// A fresh folder under the system's temporary directory, removed with
// everything in it when the object goes. path() is empty when no folder
// could be made.
class TempFolder {
 public:
  explicit TempFolder(const std::string& prefix = "brelvane") {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (mkdtemp(pattern.data())) path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const {
    return (std::filesystem::path(path_) / name).string();
  }

 private:
  std::string path_;
};

// Makes `folder` the working directory for the object's lifetime, for code
// that reads files by bare names.
class WorkingFolderScope {
 public:
  explicit WorkingFolderScope(const std::string& folder)
      : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~WorkingFolderScope() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
  }
  WorkingFolderScope(const WorkingFolderScope&) = delete;
  WorkingFolderScope& operator=(const WorkingFolderScope&) = delete;

 private:
  std::filesystem::path previous_;
};

}  // namespace testsupport
