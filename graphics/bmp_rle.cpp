// RLE8 and RLE4 decoding.
#include "graphics/bmp_rle.h"

namespace libgr::bmp {
namespace {

constexpr unsigned kEndOfLine = 0;
constexpr unsigned kEndOfBitmap = 1;
constexpr unsigned kDelta = 2;

// The write position; x and y may move past the canvas (deltas, end-of-line
// after the last row), which is harmless until a pixel is put there.
class Cursor {
 public:
  explicit Cursor(const RleCanvas& canvas) : canvas_(canvas) {}
  bool put(unsigned char index) {
    if (y_ >= canvas_.height) return false;
    if (x_ < canvas_.width) canvas_.pixels[y_ * canvas_.rowBytes + x_] = index;
    ++x_;
    return true;
  }
  void nextLine() {
    x_ = 0;
    ++y_;
  }
  void move(unsigned dx, unsigned dy) {
    x_ += dx;
    y_ += dy;
  }

 private:
  const RleCanvas& canvas_;
  uint64_t x_ = 0, y_ = 0;
};

// Index i of a run: RLE4 alternates the high and low nibble.
unsigned char indexOf(unsigned char byte, unsigned i, bool fourBit) {
  if (!fourBit) return byte;
  return i % 2 == 0 ? byte >> 4 : byte & 0x0F;
}

}  // namespace

bool decodeRle(const unsigned char* data, uint32_t size, bool fourBit, const RleCanvas& canvas) {
  Cursor cursor(canvas);
  uint64_t at = 0;  // 64-bit: a padded run may step past the end
  while (at + 2 <= size) {
    const unsigned count = data[at], code = data[at + 1];
    at += 2;
    if (count > 0) {  // an encoded run of one byte
      for (unsigned i = 0; i < count; ++i)
        if (!cursor.put(indexOf(code, i, fourBit))) return false;
      continue;
    }
    if (code == kEndOfLine) {
      cursor.nextLine();
    } else if (code == kEndOfBitmap) {
      return true;
    } else if (code == kDelta) {
      if (at + 2 > size) return true;
      cursor.move(data[at], data[at + 1]);
      at += 2;
    } else {  // an absolute run of `code` indices, padded to a 16-bit word
      const uint32_t bytes = fourBit ? (code + 1) / 2 : code;
      for (unsigned i = 0; i < code; ++i) {
        const uint64_t byteAt = at + (fourBit ? i / 2 : i);
        if (byteAt >= size) return true;
        if (!cursor.put(indexOf(data[byteAt], i, fourBit))) return false;
      }
      at += bytes + (bytes & 1);
    }
  }
  return true;
}

}  // namespace libgr::bmp
