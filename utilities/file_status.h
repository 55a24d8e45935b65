#pragma once
// The one file-status query the library needs: does a path exist, is it a
// regular file, and how many bytes does it hold.
#include <cstdint>

namespace libutils {

struct FileStatus {
  uint64_t size = 0;
  bool regularFile = false;
};

// False when the path's status cannot be obtained (missing file, bad path);
// `out` is then left unchanged.
bool fileStatus(const char* path, FileStatus& out);

}  // namespace libutils
