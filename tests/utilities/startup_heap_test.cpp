// The start-up heap against glibc's own accounting: while it lives no large
// block is mapped on its own and a freed block's pages go to the next block
// of its size; after it, large blocks are mapped again.
#include "utilities/startup_heap.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdint>
#include <cstdlib>

namespace {

// A block the compiler cannot drop: its first byte written.
void* largeBlock(std::size_t bytes) {
  void* block = std::malloc(bytes);
  if (block) *static_cast<volatile char*>(block) = 1;
  return block;
}

}  // namespace

TEST(StartupHeap, largeBlocksComeFromTheHeapWhileItLives) {
  constexpr std::size_t kLarge = std::size_t(64) << 20;
  const std::size_t mapped = mallinfo2().hblks;
  {
    libutils::StartupHeap heap;
    if (!heap.active()) GTEST_SKIP() << "the allocator is a sanitizer's";
    EXPECT_FALSE(libutils::StartupHeap().active()) << "one at a time";
    void* block = largeBlock(kLarge);
    EXPECT_EQ(mallinfo2().hblks, mapped);
    const auto freed = reinterpret_cast<std::uintptr_t>(block);
    std::free(block);
    void* next = largeBlock(kLarge);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(next), freed) << "the freed pages are reused";
    std::free(next);
  }
  void* after = largeBlock(2 * kLarge);  // larger than any free chunk the heap kept
  EXPECT_EQ(mallinfo2().hblks, mapped + 1) << "large blocks are mapped again";
  std::free(after);
  EXPECT_TRUE(libutils::StartupHeap().active()) << "a later start may have one again";
}
