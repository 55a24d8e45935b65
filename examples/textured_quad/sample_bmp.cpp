// Writes the example's sample picture as an uncompressed, bottom-up 24-bit
// BMP: 54-byte header, little-endian fields, rows padded to four bytes.
#include "sample_bmp.h"

#include <cstdint>
#include <fstream>
#include <vector>

namespace {

constexpr int kSize = 128;  // pixels per side
constexpr int kTile = 16;   // checker tile side
constexpr int kBar = 12;    // height of the top bar

void put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

}  // namespace

bool writeSampleBmp(const std::string& path) {
  const uint32_t rowBytes = (kSize * 3 + 3) / 4 * 4;
  const uint32_t pixelBytes = rowBytes * kSize;
  std::vector<uint8_t> file;
  file.reserve(54 + pixelBytes);
  // File header.
  file.push_back('B');
  file.push_back('M');
  put32(file, 54 + pixelBytes);
  put32(file, 0);   // reserved
  put32(file, 54);  // offset of the pixels
  // Info header.
  put32(file, 40);
  put32(file, kSize);
  put32(file, kSize);  // positive: bottom-up rows
  put16(file, 1);      // planes
  put16(file, 24);     // bits per pixel
  put32(file, 0);      // no compression
  put32(file, pixelBytes);
  put32(file, 2835);  // 72 dpi
  put32(file, 2835);
  put32(file, 0);  // no palette
  put32(file, 0);

  for (int row = 0; row < kSize; ++row) {  // row 0 is the bottom one
    const int y = kSize - 1 - row;         // distance from the top
    for (int x = 0; x < kSize; ++x) {
      uint8_t r, g, b;
      if (y < kBar) {
        r = 40, g = 90, b = 220;
      } else if (((x / kTile) + (y / kTile)) % 2 == 0) {
        r = 240, g = 170, b = 60;
      } else {
        r = 250, g = 235, b = 200;
      }
      file.push_back(b);  // BMP stores blue, green, red
      file.push_back(g);
      file.push_back(r);
    }
    file.resize(file.size() + (rowBytes - kSize * 3), 0);
  }

  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  return bool(out);
}
