// adviseHugePages on Linux madvise(MADV_HUGEPAGE); nothing elsewhere.
#include "utilities/memory_advice.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace libutils {

void adviseHugePages(void* block, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kHugePage = std::uintptr_t(2) << 20;
  if (!block || bytes < 4 * kHugePage) return;
  const std::uintptr_t start = (std::uintptr_t(block) + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t end = (std::uintptr_t(block) + bytes) & ~(kHugePage - 1);
  if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#else
  (void)block;
  (void)bytes;
#endif
}

}  // namespace libutils
