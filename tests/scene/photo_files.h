#pragma once
// Photographs for tests: 24-bit BMP files of four flat quadrants, so that a
// picture's orientation (flips, mirroring, turns) and channel order show in
// where each colour lands; and broken files (truncated, not a BMP at all).
#include <array>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace scenetest {

using Rgb = std::array<int, 3>;

// Colours as the picture is seen: top-left, top-right, bottom-left,
// bottom-right.
struct Quadrants {
  Rgb topLeft, topRight, bottomLeft, bottomRight;
};

inline void putLittleEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

// The bytes of a bottom-up 24-bit BMP of `width` x `height` pixels, rows
// padded to 4 bytes as the format wants.
inline std::vector<uint8_t> quadrantBmp(int width, int height, const Quadrants& q) {
  const uint32_t rowBytes = (uint32_t(width) * 3 + 3) & ~3u;
  const uint32_t pixelBytes = rowBytes * uint32_t(height);
  std::vector<uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  putLittleEndian(out, 54 + pixelBytes, 4);  // bfSize
  putLittleEndian(out, 0, 4);                // reserved
  putLittleEndian(out, 54, 4);               // bfOffBits
  putLittleEndian(out, 40, 4);               // biSize
  putLittleEndian(out, uint32_t(width), 4);
  putLittleEndian(out, uint32_t(height), 4);
  putLittleEndian(out, 1, 2);   // planes
  putLittleEndian(out, 24, 2);  // bits per pixel
  putLittleEndian(out, 0, 4);   // uncompressed
  putLittleEndian(out, pixelBytes, 4);
  putLittleEndian(out, 2835, 4);
  putLittleEndian(out, 2835, 4);
  putLittleEndian(out, 0, 4);  // biClrUsed
  putLittleEndian(out, 0, 4);
  for (int row = 0; row < height; ++row) {  // row 0 is the picture's bottom
    const bool top = row >= height / 2;
    for (int x = 0; x < width; ++x) {
      const bool right = x >= width / 2;
      const Rgb& c =
          top ? (right ? q.topRight : q.topLeft) : (right ? q.bottomRight : q.bottomLeft);
      out.push_back(uint8_t(c[2]));  // stored blue, green, red
      out.push_back(uint8_t(c[1]));
      out.push_back(uint8_t(c[0]));
    }
    for (uint32_t pad = uint32_t(width) * 3; pad < rowBytes; ++pad) out.push_back(0);
  }
  return out;
}

inline bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return bool(file);
}

inline bool writeQuadrantBmp(const std::string& path, int width, int height, const Quadrants& q) {
  return writeFile(path, quadrantBmp(width, height, q));
}

// A real BMP cut off inside its pixel rows.
inline bool writeTruncatedBmp(const std::string& path, const Quadrants& q) {
  std::vector<uint8_t> bytes = quadrantBmp(64, 64, q);
  bytes.resize(54 + 64 * 3 * 10);
  return writeFile(path, bytes);
}

// Something else entirely under a photograph's name, longer than the BMP
// headers so that the reader gets as far as looking at them.
inline bool writeNotABmp(const std::string& path) {
  std::string text = "P3\n# a portable pixmap in plain text, not a bitmap\n4 4 255\n";
  for (int i = 0; i < 16; ++i) text += "255 128 0\n";
  return writeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace scenetest
