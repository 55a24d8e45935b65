#pragma once
// Reading a whole file into one shared buffer with one read: how every
// picture file is read, whatever its format.
#include <cstdint>

#include "graphics/refvector.h"

namespace libgr {

// Why a file could not be read.
enum class grFileError {
  none,
  notFound,        // no status for the path
  notRegularFile,  // a folder, device, ...
  tooShort,        // fewer bytes than the caller needs
  tooLarge,        // over 4 GiB
  unreadable,      // exists but could not be read in full
};

// A short lower-case phrase for a message: "not found", "not a regular
// file", ...; empty for none.
const char* fileErrorText(grFileError error);

// Reads the whole file at `path` into fresh storage shared by `buffer`, with
// one read. An error, with `buffer` unchanged, for a missing path, anything
// but a regular file, a file shorter than `minBytes` or over 4 GiB, and one
// that cannot be read in full.
grFileError readFileBytes(const char* path, uint32_t minBytes, refvector2<unsigned char>& buffer);

}  // namespace libgr
