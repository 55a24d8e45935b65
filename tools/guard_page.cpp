// Guarded blocks: each is mapped alone, its pages followed by one PROT_NONE
// page, and placed so that it ends where the readable pages end.
#include "tools/guard_page.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <new>

namespace guard_page {
namespace {

struct Block {
  void* block = nullptr;
  void* mapping = nullptr;
  std::size_t mappingBytes = 0;
};
Block blocks[64];

}  // namespace

void* allocate(std::size_t bytes) {
  if (bytes == 0) bytes = 1;
  const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
  const std::size_t readable = (bytes + page - 1) / page * page;
  void* mapping =
      mmap(nullptr, readable + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) throw std::bad_alloc();
  mprotect(static_cast<char*>(mapping) + readable, page, PROT_NONE);
  void* block = static_cast<char*>(mapping) + readable - bytes;
  for (Block& slot : blocks)
    if (!slot.block) {
      slot = {block, mapping, readable + page};
      return block;
    }
  std::abort();  // more guarded blocks alive than any user here makes
}

bool release(void* block) {
  if (!block) return false;
  for (Block& slot : blocks)
    if (slot.block == block) {
      munmap(slot.mapping, slot.mappingBytes);
      slot = {};
      return true;
    }
  return false;
}

}  // namespace guard_page
