// The start-up heap through glibc's mallopt; nothing elsewhere.
#include "utilities/startup_heap.h"

#include <atomic>
#include <cstdint>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define LIBUTILS_OWN_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define LIBUTILS_OWN_ALLOCATOR 1
#endif
#endif

namespace libutils {

namespace {
std::atomic<bool> startupHeapActive{false};
}  // namespace

bool StartupHeap::anyActive() { return startupHeapActive; }

#if defined(__GLIBC__) && !defined(LIBUTILS_OWN_ALLOCATOR)

StartupHeap::StartupHeap() {
  if (startupHeapActive.exchange(true)) return;
  active_ = true;
  // Before any thread has taken an arena of its own; blocks of any size from
  // the heap; nothing trimmed off its top while it lasts.
  mallopt(M_ARENA_MAX, 1);
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, INT32_MAX);
}

StartupHeap::~StartupHeap() {
  if (!active_) return;
  // glibc's defaults on 64-bit systems.
  mallopt(M_MMAP_MAX, 65536);
  mallopt(M_TRIM_THRESHOLD, 128 * 1024);
  malloc_trim(0);
  startupHeapActive = false;
}

#else

StartupHeap::StartupHeap() = default;
StartupHeap::~StartupHeap() = default;

#endif

}  // namespace libutils
