// Whole files in one read, through the allocation policy's file reading.
#include "graphics/whole_file.h"

#include "utilities/file_status.h"

namespace libgr {

const char* fileErrorText(grFileError error) {
  switch (error) {
    case grFileError::none:
      return "";
    case grFileError::notFound:
      return "not found";
    case grFileError::notRegularFile:
      return "not a regular file";
    case grFileError::tooShort:
      return "too short";
    case grFileError::tooLarge:
      return "larger than 4 GiB";
    case grFileError::unreadable:
      return "cannot be read";
  }
  return "cannot be read";
}

grFileError readFileBytes(const char* path, uint32_t minBytes, refvector2<unsigned char>& buffer) {
  libutils::FileStatus status;
  if (!path || !libutils::fileStatus(path, status)) return grFileError::notFound;
  if (!status.regularFile) return grFileError::notRegularFile;
  if (status.size < minBytes) return grFileError::tooShort;
  if (status.size > UINT32_MAX) return grFileError::tooLarge;

  const uint32_t fileSize = uint32_t(status.size);
  refvector2<unsigned char> whole;
  if (!whole.allocate(fileSize, path, 0, 0, false)) return grFileError::unreadable;
  // alloc_new reports nothing itself; a file that could not be opened, or
  // shrank since its status was taken, shows as a short read.
  if (whole.storageAllocator()->bytesRead != fileSize) return grFileError::unreadable;
  buffer.share(whole);
  return grFileError::none;
}

}  // namespace libgr
