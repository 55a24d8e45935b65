// The start-up heap against glibc's own accounting: large blocks come from
// the heap while it lives (none is mapped on its own, and a freed block's
// pages go to the next block of its size), and are mapped again after.
#include "utilities/startup_heap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

#if defined(__GLIBC__)
TEST(StartupHeap, largeBlocksComeFromTheHeapWhileItLives) {
  constexpr std::size_t kLarge = std::size_t(64) << 20;
  const std::size_t mappedBefore = mallinfo2().hblks;
  {
    libutils::StartupHeap heap;
    if (!heap.active()) GTEST_SKIP() << "the allocator is a sanitizer's";
    EXPECT_FALSE(libutils::StartupHeap().active()) << "one at a time";

    char* block = static_cast<char*>(std::malloc(kLarge));
    ASSERT_NE(block, nullptr);
    std::memset(block, 1, kLarge);
    EXPECT_EQ(mallinfo2().hblks, mappedBefore);
    const auto freed = reinterpret_cast<std::uintptr_t>(block);
    std::free(block);
    void* next = std::malloc(kLarge);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(next), freed)
        << "the freed block's pages are reused";
    std::free(next);
  }
  void* after = std::malloc(kLarge);
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(mallinfo2().hblks, mappedBefore + 1) << "large blocks are mapped again";
  std::free(after);
  EXPECT_TRUE(libutils::StartupHeap().active()) << "a later start-up may have one again";
}
#endif

}  // namespace
