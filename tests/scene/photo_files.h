#pragma once
// Photographs for tests: 24-bit BMP files of four flat quadrants, so that a
// picture's orientation (flips, mirroring, turns) and channel order show in
// where each colour lands; and broken files (truncated, not a BMP at all).
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/bmp_writer.h"

namespace scenetest {

using Rgb = std::array<int, 3>;

// Colours as the picture is seen: top-left, top-right, bottom-left,
// bottom-right.
struct Quadrants {
  Rgb topLeft, topRight, bottomLeft, bottomRight;
};

// The bytes of a bottom-up 24-bit BMP of `width` x `height` pixels. With an
// odd height the middle row belongs to the bottom half.
inline bmpwriter::Bytes quadrantBmp(int width, int height, const Quadrants& q) {
  return bmpwriter::encodeRgb24(width, height, [&](int x, int y) {
    const bool top = height - 1 - y >= height / 2;
    const bool right = x >= width / 2;
    const Rgb& c = top ? (right ? q.topRight : q.topLeft) : (right ? q.bottomRight : q.bottomLeft);
    return std::array<uint8_t, 3>{uint8_t(c[0]), uint8_t(c[1]), uint8_t(c[2])};
  });
}

using bmpwriter::writeFile;

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
