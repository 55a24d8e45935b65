// alloc_new: byte blocks from array new, optionally filled from a file with
// one read call.
#include "utilities/alloc_new.h"

#include <algorithm>
#include <cstring>
#include <fstream>

namespace libutils {

void* alloc_new::allocate(uint32_t bytes, const char* path, int /*flag*/, int64_t offset) {
  char* block = new char[bytes];
  bytesRead = 0;
  if (path) {
    std::ifstream file(path, std::ios::in | std::ios::binary);
    if (file.good()) {
      file.seekg(std::streamoff(offset), std::ios::beg);
      // One read of the whole length straight into the block; gcount tells
      // how much the file really held.
      file.read(block, std::streamsize(bytes));
      bytesRead = uint32_t(std::max<std::streamsize>(file.gcount(), 0));
      file.close();
    }
  }
  size = bytes;
  return block;
}

void* alloc_new::reallocate(void* block, uint32_t bytes, uint64_t /*extra*/) {
  char* fresh = new char[bytes];
  if (block) std::memcpy(fresh, block, std::min(size, bytes));
  size = bytes;
  delete[] static_cast<char*>(block);
  return fresh;
}

void alloc_new::deallocate(void* block) { delete[] static_cast<char*>(block); }

}  // namespace libutils
