// alloc_new: plain blocks, whole-file and offset reads in one call, missing
// and short files, reallocation, and the file status query.
#include "utilities/alloc_new.h"
#include "utilities/file_status.h"

#include "tests/support/temp_file.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

using libutils::alloc_new;

namespace {

using testsupport::TempFile;

std::vector<unsigned char> pattern(size_t n) {
  std::vector<unsigned char> bytes(n);
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<unsigned char>(i * 7 + 3);
  return bytes;
}

// A block freed through the allocator that made it.
struct Block {
  alloc_new& allocator;
  void* data;
  ~Block() { allocator.deallocate(data); }
  const unsigned char* bytes() const { return static_cast<const unsigned char*>(data); }
};

}  // namespace

TEST(AllocNew, BlockWithoutFileRecordsItsSize) {
  alloc_new allocator;
  Block block{allocator, allocator.allocate(100, nullptr, 1, 0)};
  ASSERT_NE(block.data, nullptr);
  EXPECT_EQ(allocator.size, 100u);
  EXPECT_EQ(allocator.bytesRead, 0u);
  std::memset(block.data, 0xAB, 100);  // the whole block is writable (ASan checks)
}

// A block of the asked size always; from the file, as many bytes as it
// holds from the offset on (none past its end), at the block's start.
TEST(AllocNew, ReadsWhatTheFileHoldsFromTheOffset) {
  struct Case {
    size_t fileBytes;
    uint32_t blockBytes;
    int64_t offset;
    uint32_t expectRead;
  };
  const Case cases[] = {
      {1000, 1000, 0, 1000},  // the whole file
      {1000, 300, 700, 300},  // its tail
      {40, 100, 10, 30},      // a short file
      {40, 10, 500, 0},       // an offset past the end
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.fileBytes << "-byte file, " << c.blockBytes
                                    << "-byte block from " << c.offset);
    const auto bytes = pattern(c.fileBytes);
    TempFile file(bytes);
    alloc_new allocator;
    Block block{allocator, allocator.allocate(c.blockBytes, file.path(), 0, c.offset)};
    ASSERT_NE(block.data, nullptr);
    EXPECT_EQ(allocator.size, c.blockBytes);
    EXPECT_EQ(allocator.bytesRead, c.expectRead);
    if (c.expectRead > 0) {
      EXPECT_EQ(std::memcmp(block.data, bytes.data() + c.offset, c.expectRead), 0);
    }
  }
}

TEST(AllocNew, MissingFilesAndFoldersStillGiveABlockWithNothingRead) {
  alloc_new missing;
  Block none{missing, missing.allocate(64, "/nonexistent/dir/file.bin", 0, 0)};
  ASSERT_NE(none.data, nullptr);
  EXPECT_EQ(missing.size, 64u);
  EXPECT_EQ(missing.bytesRead, 0u);

  // A folder opens as a stream on Linux but yields no bytes.
  alloc_new folder;
  Block dir{folder, folder.allocate(10, testing::TempDir().c_str(), 0, 0)};
  EXPECT_EQ(folder.bytesRead, 0u);
}

TEST(AllocNew, ReallocateKeepsLeadingBytes) {
  alloc_new allocator;
  auto* first = static_cast<unsigned char*>(allocator.allocate(8, nullptr, 1, 0));
  for (int i = 0; i < 8; ++i) first[i] = static_cast<unsigned char>(i + 1);

  auto* smaller = static_cast<unsigned char*>(allocator.reallocate(first, 4, 0));
  EXPECT_EQ(allocator.size, 4u);
  EXPECT_EQ(std::vector<unsigned char>(smaller, smaller + 4),
            (std::vector<unsigned char>{1, 2, 3, 4}));

  auto* larger = static_cast<unsigned char*>(allocator.reallocate(smaller, 16, 0));
  EXPECT_EQ(allocator.size, 16u);
  EXPECT_EQ(std::vector<unsigned char>(larger, larger + 4),
            (std::vector<unsigned char>{1, 2, 3, 4}));
  larger[15] = 0xFF;  // the grown tail is writable

  // From no block at all: a fresh block, nothing copied.
  alloc_new fresh;
  void* grown = fresh.reallocate(nullptr, 12, 0);
  EXPECT_EQ(fresh.size, 12u);

  allocator.deallocate(larger);
  fresh.deallocate(grown);
  allocator.deallocate(nullptr);
  EXPECT_EQ(allocator.size, 16u) << "deallocate leaves size as it was";
}

TEST(FileStatus, ReportsSizeAndKind) {
  TempFile file(pattern(123));
  libutils::FileStatus status;
  ASSERT_TRUE(libutils::fileStatus(file.path(), status));
  EXPECT_EQ(status.size, 123u);
  EXPECT_TRUE(status.regularFile);

  ASSERT_TRUE(libutils::fileStatus(testing::TempDir().c_str(), status));
  EXPECT_FALSE(status.regularFile);

  libutils::FileStatus untouched;
  untouched.size = 77;
  EXPECT_FALSE(libutils::fileStatus("/nonexistent/dir/file.bin", untouched));
  EXPECT_FALSE(libutils::fileStatus(nullptr, untouched));
  EXPECT_EQ(untouched.size, 77u);
}
