#pragma once
// A file with known bytes in the test's temporary directory, removed when the
// object goes. Names are unique per process and per file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
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

}  // namespace testsupport
