// The replacement operators behind allocation_counter.
#include "tools/allocation_counter.h"

#include <cstdlib>
#include <new>

namespace {
thread_local bool countingHere = false;
long counted = 0;  // written only by the counting thread

void note() {
  if (countingHere) ++counted;
}
}  // namespace

namespace allocation_counter {
void start() {
  counted = 0;
  countingHere = true;
}
long stop() {
  countingHere = false;
  return counted;
}
long count() { return counted; }
}  // namespace allocation_counter

// Out of line: inlined into a caller, GCC takes free() of a new'd pointer for
// a new/delete mismatch.
__attribute__((noinline)) void* operator new(std::size_t size) {
  note();
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
__attribute__((noinline)) void operator delete(void* p) noexcept { std::free(p); }
void* operator new[](std::size_t size) { return ::operator new(size); }
void operator delete[](void* p) noexcept { ::operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { ::operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { ::operator delete(p); }
// The nothrow forms too, so that nothing allocated here (LLVM inside Mesa
// uses them) is freed by another allocator's delete: ASan reports that.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  note();
  return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return ::operator new(size, tag);
}
void operator delete(void* p, const std::nothrow_t&) noexcept { ::operator delete(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { ::operator delete(p); }
