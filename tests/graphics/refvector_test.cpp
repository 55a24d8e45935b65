// Reference-counted arrays: sharing, keep, in-place resize seen by every
// sharer, window sizes bounded by the storage's bytes, and the last reference
// freeing exactly once (counted by an allocation policy that wraps alloc_new).
#include "graphics/refvector.h"

#include <gtest/gtest.h>

#include <cstring>

using libgr::ofsvector;
using libgr::refvector;
using libgr::refvector2;

namespace {

// alloc_new with live-block counting, and a switch to make it yield nothing.
struct CountingAlloc : libutils::alloc_new {
  static inline int live = 0;
  static inline bool refuse = false;

  void* allocate(uint32_t bytes, const char* path, int flag, int64_t offset) {
    if (refuse) return nullptr;
    ++live;
    return alloc_new::allocate(bytes, path, flag, offset);
  }
  void* reallocate(void* block, uint32_t bytes, uint64_t extra) {
    if (refuse) return nullptr;
    if (!block) ++live;
    return alloc_new::reallocate(block, bytes, extra);
  }
  void deallocate(void* block) {
    if (block) --live;
    alloc_new::deallocate(block);
  }
};

class RefVector : public ::testing::Test {
 protected:
  void SetUp() override {
    CountingAlloc::live = 0;
    CountingAlloc::refuse = false;
  }
  void TearDown() override { EXPECT_EQ(CountingAlloc::live, 0) << "a block leaked"; }
};

using Bytes = refvector2<unsigned char, CountingAlloc>;
using ByteWindow = ofsvector<unsigned char, CountingAlloc>;
using Shorts = refvector<unsigned short, CountingAlloc>;

#pragma pack(push, 1)
struct Quad {
  unsigned char b, g, r, x;
};
#pragma pack(pop)

// Gives `bytes` n fresh bytes holding 0, 1, 2, ...
bool allocateSequence(Bytes& bytes, uint32_t n) {
  if (!bytes.allocate(n)) return false;
  for (uint32_t i = 0; i < n; ++i) bytes.begin()[i] = static_cast<unsigned char>(i);
  return true;
}

}  // namespace

TEST_F(RefVector, DefaultHandlesHoldNothing) {
  Bytes bytes;
  ByteWindow window;
  Shorts shorts;
  EXPECT_TRUE(bytes.empty());
  EXPECT_TRUE(window.empty());
  EXPECT_TRUE(shorts.empty());
  EXPECT_EQ(bytes.size() + window.size() + shorts.size(), 0u);
  EXPECT_FALSE(bytes.hasStorage() || window.hasStorage() || shorts.hasStorage());
  EXPECT_EQ(window.offset, 0u);
  EXPECT_EQ(window.length, ByteWindow::toEnd);
  bytes.clear();
  window.clear();
  shorts.clear();
  EXPECT_EQ(CountingAlloc::live, 0);
}

TEST_F(RefVector, ShareCountsReferencesAndLastOneFrees) {
  {
    auto* a = new Bytes;
    ASSERT_TRUE(a->allocate(10));
    Bytes b;
    b.share(*a);
    EXPECT_EQ(b.useCount(), 2);
    EXPECT_EQ(b.size(), 10u);
    EXPECT_EQ(b.begin(), a->begin());
    b.share(*a);  // same storage: nothing changes
    EXPECT_EQ(b.useCount(), 2);

    *a->at(3) = 42;  // no copy-on-write
    EXPECT_EQ(*b.at(3), 42);

    delete a;
    EXPECT_EQ(b.useCount(), 1);
    EXPECT_EQ(CountingAlloc::live, 1);
    EXPECT_EQ(*b.at(3), 42);
  }
  EXPECT_EQ(CountingAlloc::live, 0);
}

TEST_F(RefVector, ShareFromEmptyDetachesOnce) {
  Bytes a, b, nothing;
  ASSERT_TRUE(a.allocate(4));
  b.share(a);
  b.share(nothing);
  EXPECT_FALSE(b.hasStorage());
  EXPECT_EQ(a.useCount(), 1);

  // Copies share like share() does, windows carry their offset and length.
  ByteWindow w;
  w.share(a);
  w.offset = 1;
  w.length = 2;
  ByteWindow copy(w);
  EXPECT_EQ(a.useCount(), 3);
  EXPECT_EQ(copy.offset, 1u);
  EXPECT_EQ(copy.length, 2u);
  EXPECT_EQ(copy.begin(), a.begin() + 1);
  ByteWindow assigned;
  assigned = copy;
  ByteWindow& same = assigned;
  assigned = same;  // self-assignment keeps the one reference
  EXPECT_EQ(a.useCount(), 4);
}

TEST_F(RefVector, AllocateWithKeepLeavesOldSharersAlone) {
  Bytes a;
  ASSERT_TRUE(allocateSequence(a, 6));
  Bytes old;
  old.share(a);

  ASSERT_TRUE(a.allocate(4, nullptr, 1, 0, true));
  EXPECT_EQ(a.size(), 4u);
  EXPECT_EQ(std::memcmp(a.begin(), old.begin(), 4), 0);
  EXPECT_NE(a.begin(), old.begin());
  EXPECT_EQ(old.size(), 6u);
  EXPECT_EQ(old.useCount(), 1);
  EXPECT_EQ(a.useCount(), 1);
  EXPECT_EQ(CountingAlloc::live, 2);

  ASSERT_TRUE(a.allocate(8, nullptr, 1, 0, true));  // grows: keeps all 4
  EXPECT_EQ(std::memcmp(a.begin(), old.begin(), 4), 0);
  EXPECT_EQ(CountingAlloc::live, 2);
}

TEST_F(RefVector, FailedAllocationKeepsTheOldStorage) {
  Bytes a;
  ASSERT_TRUE(a.allocate(5));
  unsigned char* before = a.begin();
  CountingAlloc::refuse = true;
  EXPECT_FALSE(a.allocate(9));
  EXPECT_FALSE(a.resize(9));
  EXPECT_EQ(a.begin(), before);
  EXPECT_EQ(a.size(), 5u);

  Shorts s;
  EXPECT_FALSE(s.resize(3));
  EXPECT_FALSE(s.hasStorage());
  CountingAlloc::refuse = false;

  // Element counts whose byte count would not fit 32 bits are refused.
  refvector2<uint64_t, CountingAlloc> huge;
  EXPECT_FALSE(huge.allocate(0x20000000u));
  EXPECT_FALSE(huge.resize(0x20000000u));
  EXPECT_FALSE(huge.hasStorage());
}

TEST_F(RefVector, ResizeInPlaceIsSeenByEverySharer) {
  Bytes a;
  ASSERT_TRUE(allocateSequence(a, 4));
  Bytes b;
  b.share(a);
  ASSERT_TRUE(a.resize(10));
  EXPECT_EQ(b.size(), 10u);
  EXPECT_EQ(b.begin(), a.begin());
  EXPECT_EQ(*b.at(3), 3);
  EXPECT_EQ(b.useCount(), 2);

  // A window keeps its offset and opens its length to the end.
  ByteWindow w;
  w.share(a);
  w.offset = 2;
  w.length = 1;
  ASSERT_TRUE(w.resize(6));
  EXPECT_EQ(w.offset, 2u);
  EXPECT_EQ(w.size(), 4u);
  EXPECT_EQ(a.size(), 6u);

  // Without storage, resize attaches a new record; resize(0) stays empty.
  Bytes fresh;
  ASSERT_TRUE(fresh.resize(0));
  EXPECT_FALSE(fresh.hasStorage());
  ASSERT_TRUE(fresh.resize(3));
  EXPECT_EQ(fresh.size(), 3u);
}

TEST_F(RefVector, WindowSizes) {
  Bytes file;
  ASSERT_TRUE(file.allocate(100));
  ByteWindow w;
  w.share(file);
  w.offset = 54;
  EXPECT_EQ(w.size(), 46u);
  EXPECT_EQ(w.end() - w.begin(), 46);
  EXPECT_EQ(w.begin(), file.begin() + 54);
  w.length = 10;
  EXPECT_EQ(w.size(), 10u);
  w.length = 0;
  EXPECT_EQ(w.size(), 0u);
  EXPECT_TRUE(w.empty());
  w.length = ByteWindow::toEnd;
  w.offset = 120;
  EXPECT_EQ(w.size(), 0u);
  EXPECT_TRUE(w.empty());
  w.offset = 100;
  EXPECT_TRUE(w.empty());

  // allocate and clear reset the window.
  w.offset = 5;
  w.length = 3;
  ASSERT_TRUE(w.allocate(7));
  EXPECT_EQ(w.offset, 0u);
  EXPECT_EQ(w.length, ByteWindow::toEnd);
  EXPECT_EQ(w.size(), 7u);
  w.offset = 2;
  w.clear();
  EXPECT_EQ(w.offset, 0u);
  EXPECT_FALSE(w.hasStorage());
}

TEST_F(RefVector, WindowsOfLargerElementsStayInsideTheBytes) {
  Bytes file;
  ASSERT_TRUE(allocateSequence(file, 10));

  ofsvector<Quad, CountingAlloc> quads;
  quads.view(file, 1, ofsvector<Quad, CountingAlloc>::toEnd);
  EXPECT_EQ(quads.size(), 2u) << "9 bytes from offset 1 hold two whole quads";
  EXPECT_EQ(quads.at(1)->b, 5);
  quads.length = 1;
  EXPECT_EQ(quads.size(), 1u);
  quads.length = 100;
  EXPECT_EQ(quads.size(), 2u);

  // A plain handle of another type measures the storage in its own elements.
  refvector2<uint32_t, CountingAlloc> words;
  words.share(file);
  EXPECT_EQ(words.size(), 2u);
  EXPECT_EQ(words.end() - words.begin(), 2);
  EXPECT_EQ(file.useCount(), 3);

  // Keeping old contents across element types copies bytes that exist only.
  ASSERT_TRUE(words.allocate(5, nullptr, 1, 0, true));
  EXPECT_EQ(std::memcmp(words.begin(), file.begin(), 10), 0);
}

TEST_F(RefVector, SingleBlockVector) {
  Shorts a;
  ASSERT_TRUE(a.resize(3));
  EXPECT_EQ(a.size(), 3u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(a.begin()) % alignof(unsigned short), 0u);
  for (uint32_t i = 0; i < 3; ++i) *a.at(i) = static_cast<unsigned short>(1000 + i);
  EXPECT_EQ(CountingAlloc::live, 1) << "header and elements are one allocation";

  Shorts b;
  EXPECT_EQ(&b.share(a), &b);
  EXPECT_EQ(a.useCount(), 2);
  EXPECT_EQ(b.begin(), a.begin());

  // Resizing makes a new block; the sharer keeps the old one.
  ASSERT_TRUE(a.resize(5));
  EXPECT_EQ(a.useCount(), 1);
  EXPECT_EQ(b.useCount(), 1);
  EXPECT_EQ(b.size(), 3u);
  EXPECT_EQ(*a.at(2), 1002);
  EXPECT_EQ(*b.at(2), 1002);
  EXPECT_EQ(CountingAlloc::live, 2);

  ASSERT_TRUE(a.resize(0));
  EXPECT_FALSE(a.hasStorage());
  EXPECT_EQ(CountingAlloc::live, 1);
  Shorts c(b);
  c.clear();
  EXPECT_EQ(b.useCount(), 1);
}
