#pragma once
// The one BMP writer of the project's tools, tests and benchmarks: it lays out
// whatever a test or a sample needs, including headers a careful writer would
// never produce (wrong offsets, odd header sizes, huge canvases), because the
// reader's tests need exactly those.
//
// Writes: the 14-byte file header; a 12-byte core header (16-bit width and
// height, 3-byte palette entries) or an info header of any other size (the
// 40-byte fields first, the rest zero apart from the colour masks); colour
// masks at file offset 54, inside headers of 52 bytes and more and after a
// 40-byte one; the palette; the pixel bytes exactly as given.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace bmpwriter {

using Bytes = std::vector<uint8_t>;

struct PaletteEntry {
  uint8_t red, green, blue;
};

// What a file holds. The pixel bytes are stored as given: the caller encodes
// rows (bottom-up unless `height` is negative), their padding, or an RLE
// stream. `offBits` < 0 puts the pixels right after the palette.
struct BmpLayout {
  uint32_t infoSize = 40;
  int32_t width = 1;
  int32_t height = 1;
  uint16_t planes = 1;
  uint16_t bitCount = 24;
  uint32_t compression = 0;
  uint32_t colorsUsed = 0;
  std::vector<uint32_t> masks;  // red, green, blue[, alpha]
  std::vector<PaletteEntry> palette;
  Bytes pixels;
  int64_t offBits = -1;
};

// The file's bytes.
Bytes encodeBmp(const BmpLayout& layout);

// A 24-bit bottom-up file of `width` x `height` pixels; `rgbAt(x, y)` gives
// the colour at column x and row y counted from the picture's top.
template <typename ColourAt>
Bytes encodeRgb24(int width, int height, ColourAt rgbAt) {
  BmpLayout layout;
  layout.width = width;
  layout.height = height;
  const size_t rowBytes = (size_t(width) * 3 + 3) & ~size_t(3);
  layout.pixels.assign(rowBytes * size_t(height), 0);
  for (int row = 0; row < height; ++row) {
    uint8_t* out = layout.pixels.data() + size_t(height - 1 - row) * rowBytes;
    for (int x = 0; x < width; ++x) {
      const std::array<uint8_t, 3> rgb = rgbAt(x, row);
      *out++ = rgb[2];  // stored blue, green, red
      *out++ = rgb[1];
      *out++ = rgb[0];
    }
  }
  return encodeBmp(layout);
}

// Writes `bytes` to `path`, replacing the file; false when it cannot.
bool writeFile(const std::string& path, const Bytes& bytes);

}  // namespace bmpwriter
