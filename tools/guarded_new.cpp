// Every array form is replaced, so that no array block is freed by another
// allocator (out of line: inlined, GCC takes free() of a malloc'd block for a
// new/delete mismatch).
#include "tools/guarded_new.h"

#include <cstdlib>
#include <new>

#include "tools/guard_page.h"

namespace guard_page {
namespace {

// Per thread: the image libraries allocate on worker threads of their own
// (libheif's grid tiles), and some of them free array blocks with free(),
// which a guard block cannot take; the blocks to guard are the calling
// thread's.
thread_local bool arraysArmed = false;

}  // namespace

void guardArrays(bool guarded) { arraysArmed = guarded; }

}  // namespace guard_page

__attribute__((noinline)) void* operator new[](std::size_t bytes) {
  if (guard_page::arraysArmed) return guard_page::allocate(bytes ? bytes : 1);
  if (void* block = std::malloc(bytes ? bytes : 1)) return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
  try {
    return operator new[](bytes);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
__attribute__((noinline)) void operator delete[](void* block) noexcept {
  if (!guard_page::release(block)) std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept { operator delete[](block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { operator delete[](block); }
