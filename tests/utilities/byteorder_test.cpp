// Byte-order conversions: big-endian swaps, little-endian identity on this
// (little-endian) host, round trips and the virtual interface.
#include "utilities/byteorder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

using libutils::byteorder;
using libutils::intel_byteorder;
using libutils::motorola_byteorder;

namespace {

// The value whose in-memory bytes are exactly `bytes`, first byte first.
template <typename T, size_t N>
T fromBytes(const unsigned char (&bytes)[N]) {
  static_assert(sizeof(T) == N);
  T value;
  std::memcpy(&value, bytes, N);
  return value;
}

}  // namespace

TEST(ByteOrder, BigEndianSwapsEveryWidth) {
  const motorola_byteorder order;
  EXPECT_EQ(order.convert16(0x1234), 0x3412);
  EXPECT_EQ(order.convert32(0x12345678u), 0x78563412u);
  EXPECT_EQ(order.convert64(0x0102030405060708ull), 0x0807060504030201ull);
  EXPECT_EQ(motorola_byteorder::host64(0x0102030405060708ull), 0x0807060504030201ull);
  EXPECT_EQ(motorola_byteorder::host64(0xFF00000000000000ull), 0x00000000000000FFull);
}

TEST(ByteOrder, BigEndianReadsNetworkOrderBytes) {
  // Bytes as a big-endian file stores them come out as their numeric value.
  const unsigned char be16[] = {0x12, 0x34};
  const unsigned char be32[] = {0x12, 0x34, 0x56, 0x78};
  const unsigned char be64[] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(motorola_byteorder::host16(fromBytes<uint16_t>(be16)), 0x1234);
  EXPECT_EQ(motorola_byteorder::host32(fromBytes<uint32_t>(be32)), 0x12345678u);
  EXPECT_EQ(motorola_byteorder::host64(fromBytes<uint64_t>(be64)), 0x0102030405060708ull);
}

TEST(ByteOrder, LittleEndianIsIdentityOnThisHost) {
  const unsigned char le32[] = {0x78, 0x56, 0x34, 0x12};
  EXPECT_EQ(intel_byteorder::host32(fromBytes<uint32_t>(le32)), 0x12345678u);
  const intel_byteorder order;
  for (uint64_t v : {uint64_t(0), uint64_t(1), uint64_t(0x0102030405060708ull), ~uint64_t(0)}) {
    EXPECT_EQ(order.convert16(uint16_t(v)), uint16_t(v));
    EXPECT_EQ(order.convert32(uint32_t(v)), uint32_t(v));
    EXPECT_EQ(order.convert64(v), v);
    EXPECT_EQ(intel_byteorder::host16(uint16_t(v)), uint16_t(v));
    EXPECT_EQ(intel_byteorder::host64(v), v);
  }
}

TEST(ByteOrder, ConvertingTwiceRestoresTheValue) {
  const motorola_byteorder big;
  for (uint64_t v :
       {uint64_t(0), uint64_t(0x00FF), uint64_t(0xDEADBEEFCAFEF00Dull), ~uint64_t(0)}) {
    EXPECT_EQ(big.convert16(big.convert16(uint16_t(v))), uint16_t(v));
    EXPECT_EQ(big.convert32(big.convert32(uint32_t(v))), uint32_t(v));
    EXPECT_EQ(big.convert64(big.convert64(v)), v);
  }
}

namespace {
struct Tracked : motorola_byteorder {
  explicit Tracked(bool& destroyed) : destroyed(destroyed) {}
  ~Tracked() override { destroyed = true; }
  bool& destroyed;
};
}  // namespace

TEST(ByteOrder, VirtualInterfaceDispatchesAndDestroysDerived) {
  std::unique_ptr<byteorder> big = std::make_unique<motorola_byteorder>();
  std::unique_ptr<byteorder> little = std::make_unique<intel_byteorder>();
  EXPECT_EQ(big->convert32(0x11223344u), 0x44332211u);
  EXPECT_EQ(little->convert32(0x11223344u), 0x11223344u);

  bool destroyed = false;
  std::unique_ptr<byteorder> tracked = std::make_unique<Tracked>(destroyed);
  tracked.reset();
  EXPECT_TRUE(destroyed);
}
