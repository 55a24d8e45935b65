#pragma once
// Bit-field pixels (16 or 32 bits, each channel a contiguous run of bits
// named by a mask) decoded to 8-bit BGR, or BGRA when the file declares an
// alpha mask. 16-bit files without masks use 5-5-5.
#include <cstdint>

namespace libgr::bmp {

// The masks a 16-bit BI_RGB file implies.
inline constexpr uint32_t kMasks555[4] = {0x7C00, 0x03E0, 0x001F, 0};

// One channel: the bits of its mask scaled to 0..255: up to 8 bits by
// repeating the bits (5-bit 0b10110 is 0b10110101), more by rounding
// value x 255 / maximum. Channels of up to 8 bits look their values up in a
// table made once per picture.
class BitFieldChannel {
 public:
  explicit BitFieldChannel(uint32_t mask);
  uint8_t operator()(uint32_t pixel) const {
    const uint32_t value = (pixel & mask_) >> shift_;
    return bits_ <= 8 ? table_[value] : uint8_t((uint64_t(value) * 255 + maximum_ / 2) / maximum_);
  }

 private:
  uint32_t mask_;
  uint32_t shift_ = 0;
  uint64_t maximum_ = 0;  // 0 for an empty mask: the channel reads 0
  uint32_t bits_ = 0;
  uint8_t table_[256] = {};
};

// Usable masks: not all zero, each contiguous, no two overlapping, none
// reaching past a pixel of `bitCount` bits. `count` is 3 or 4.
bool masksAreUsable(const uint32_t* masks, uint32_t count, uint32_t bitCount);

struct BitFieldSource {
  const unsigned char* rows;  // as stored, rows padded to 4 bytes
  uint64_t rowBytes;
  uint32_t width, height;
  bool topDown;
  uint32_t bitCount;      // 16 or 32
  const uint32_t* masks;  // red, green, blue, alpha
  bool alpha;             // decode to BGRA with the fourth mask
};

// Writes bottom-up rows of `targetRowBytes` (BGR, or BGRA with alpha), the
// padding zeroed. Alpha that is 0 in every pixel means the writer left the
// channel unused: the picture is then opaque.
void decodeBitFields(const BitFieldSource& source, unsigned char* target, uint64_t targetRowBytes);

}  // namespace libgr::bmp
