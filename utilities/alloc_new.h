#pragma once
// alloc_new: the allocation policy of the reference-counted arrays.
//
// Blocks are plain byte arrays from array new, freed with array delete, and
// resized by allocating anew and copying. Naming a file at allocation time
// fills the fresh block from that file with one read call: this is how whole
// files are loaded. A missing or short file is not reported by allocate; the
// caller can compare bytesRead with the bytes it asked for.
#include <cstdint>

namespace libutils {

class alloc_new {
 public:
  // Byte size of the block this object produced last (allocate/reallocate);
  // deallocate leaves it as it is.
  uint32_t size = 0;
  // Bytes the last allocate actually read from its file (0 without a file or
  // when the file could not be opened or positioned).
  uint32_t bytesRead = 0;

  // A new block of `bytes` bytes, filled from `path` starting at file position
  // `offset` when `path` is not null. `flag` is accepted for callers that pass
  // one and otherwise ignored. Never returns null (throws std::bad_alloc).
  void* allocate(uint32_t bytes, const char* path, int flag, int64_t offset);

  // A new block of `bytes` bytes holding the leading min(size, bytes) bytes of
  // `block` (which may be null); the old block is freed. `extra` is ignored.
  void* reallocate(void* block, uint32_t bytes, uint64_t extra);

  // Frees a block from this policy; null is ignored.
  void deallocate(void* block);
};

}  // namespace libutils
