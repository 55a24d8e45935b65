// fileStatus on POSIX stat().
#include "utilities/file_status.h"

#include <sys/stat.h>

namespace libutils {

bool fileStatus(const char* path, FileStatus& out) {
  if (!path) return false;
  struct stat status {};
  if (stat(path, &status) != 0) return false;
  out.size = status.st_size > 0 ? uint64_t(status.st_size) : 0;
  out.regularFile = S_ISREG(status.st_mode);
  return true;
}

}  // namespace libutils
