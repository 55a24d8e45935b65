// Bit-field pixel decoding.
#include "graphics/bmp_bitfields.h"

#include <algorithm>

namespace libgr::bmp {

namespace {

// Up to 8 bits: repeated downwards, so that all ones is 255 and the scale is
// the one writers (and GL's packed formats) use.
uint8_t repeatBits(uint32_t value, uint32_t bits) {
  uint32_t scaled = 0;
  int position = 8 - int(bits);
  for (; position > 0; position -= int(bits)) scaled |= value << position;
  return uint8_t(scaled | value >> -position);
}

// Masks that are the stored byte order: blue, green, red[, alpha] bytes.
bool storedAsBgra(const BitFieldSource& source) {
  return source.bitCount == 32 && source.masks[0] == 0x00FF0000 && source.masks[1] == 0x0000FF00 &&
         source.masks[2] == 0x000000FF && (!source.alpha || source.masks[3] == 0xFF000000);
}

}  // namespace

BitFieldChannel::BitFieldChannel(uint32_t mask) : mask_(mask) {
  if (mask == 0) return;  // the table's zeros: the channel reads 0
  shift_ = uint32_t(__builtin_ctz(mask));
  maximum_ = uint64_t(mask) >> shift_;
  bits_ = uint32_t(64 - __builtin_clzll(maximum_));
  if (bits_ <= 8)
    for (uint32_t value = 0; value <= maximum_; ++value) table_[value] = repeatBits(value, bits_);
}

bool masksAreUsable(const uint32_t* masks, uint32_t count, uint32_t bitCount) {
  const uint64_t pixelBits = (uint64_t(1) << bitCount) - 1;
  uint32_t seen = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t mask = masks[i];
    if (mask == 0) continue;
    if ((mask & seen) != 0 || mask > pixelBits) return false;
    const uint64_t run = uint64_t(mask) >> __builtin_ctz(mask);
    if ((run & (run + 1)) != 0) return false;  // a gap inside the mask
    seen |= mask;
  }
  return seen != 0;
}

namespace {

// The common 8-8-8(-8) layout needs no arithmetic: bytes as stored.
unsigned char* copyRow(const unsigned char* in, uint32_t width, uint32_t pixelBytes,
                       unsigned char* out, bool& anyAlpha) {
  for (uint32_t x = 0; x < width; ++x, in += 4, out += pixelBytes) {
    std::copy(in, in + pixelBytes, out);
    if (pixelBytes == 4) anyAlpha |= out[3] != 0;
  }
  return out;
}

}  // namespace

void decodeBitFields(const BitFieldSource& source, unsigned char* target, uint64_t targetRowBytes) {
  const BitFieldChannel red(source.masks[0]), green(source.masks[1]), blue(source.masks[2]),
      alpha(source.alpha ? source.masks[3] : 0);
  const uint32_t bytesPerPixel = source.bitCount / 8;
  const uint32_t targetPixelBytes = source.alpha ? 4 : 3;
  const bool asStored = storedAsBgra(source);
  bool anyAlpha = false;
  for (uint32_t row = 0; row < source.height; ++row) {
    const uint32_t storedRow = source.topDown ? source.height - 1 - row : row;
    const unsigned char* in = source.rows + storedRow * source.rowBytes;
    unsigned char* out = target + row * targetRowBytes;
    if (asStored) {
      out = copyRow(in, source.width, targetPixelBytes, out, anyAlpha);
    } else {
      for (uint32_t x = 0; x < source.width; ++x, in += bytesPerPixel) {
        uint32_t pixel = uint32_t(in[0]) | uint32_t(in[1]) << 8;
        if (bytesPerPixel == 4) pixel |= uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
        *out++ = blue(pixel);
        *out++ = green(pixel);
        *out++ = red(pixel);
        if (source.alpha) {
          *out = alpha(pixel);
          anyAlpha |= *out++ != 0;
        }
      }
    }
    std::fill(out, target + (row + 1) * targetRowBytes, 0);
  }
  if (!source.alpha || anyAlpha) return;
  for (uint32_t row = 0; row < source.height; ++row) {
    unsigned char* out = target + row * targetRowBytes;
    for (uint32_t x = 0; x < source.width; ++x) out[x * targetPixelBytes + 3] = 255;
  }
}

}  // namespace libgr::bmp
