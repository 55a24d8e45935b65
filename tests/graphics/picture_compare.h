#pragma once
// Pictures as OpenGL would show them, for tests that compare what a reader
// describes with a reference: references read from PAM files, and any image
// record resolved pixel by pixel as GL resolves its description
// (luminance, colour index through the colour maps, BGR(A), packed pixels,
// rows padded to the unpack alignment, bottom row first).
#include <array>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/image.h"
#include "graphics/pixel_format.h"

namespace picturetest {

using namespace libgr;

using Rgba = std::array<int, 4>;

struct Picture {
  int width = 0, height = 0;
  std::vector<Rgba> pixels;  // top row first
  const Rgba& at(int x, int yFromTop) const { return pixels[size_t(yFromTop) * width + x]; }
};

// An 8-bit PAM of 1 to 4 samples a pixel (grey, grey-alpha, RGB, RGBA),
// as the make.py scripts write references; grey is spread to R, G and B,
// a missing alpha is opaque.
inline std::optional<Picture> readPam(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string word;
  Picture picture;
  int depth = 0, maxval = 0;
  if (!(in >> word) || word != "P7") return std::nullopt;
  while (in >> word && word != "ENDHDR") {
    if (word == "WIDTH") in >> picture.width;
    if (word == "HEIGHT") in >> picture.height;
    if (word == "DEPTH") in >> depth;
    if (word == "MAXVAL") in >> maxval;
  }
  in.get();  // the newline after ENDHDR
  if (depth < 1 || depth > 4 || maxval != 255 || picture.width <= 0 || picture.height <= 0)
    return std::nullopt;
  const std::vector<unsigned char> bytes(std::istreambuf_iterator<char>(in), {});
  if (bytes.size() != size_t(picture.width) * picture.height * depth) return std::nullopt;
  for (size_t i = 0; i < bytes.size(); i += size_t(depth)) {
    const unsigned char* p = &bytes[i];
    if (depth <= 2)
      picture.pixels.push_back({p[0], p[0], p[0], depth == 2 ? p[1] : 255});
    else
      picture.pixels.push_back({p[0], p[1], p[2], depth == 4 ? p[3] : 255});
  }
  return picture;
}

inline int scaleBits(uint32_t value, int bits) {
  return int(std::lround(value * 255.0 / double((1u << bits) - 1)));
}

// The colour GL takes from image pixel (x, row), row 0 being the bottom row;
// nullopt for a description this resolver does not know (a failure itself).
inline std::optional<Rgba> resolve(const grImage2D& image, int x, int row) {
  const int alignment =
      image.pixelStore && image.pixelStore->alignment ? image.pixelStore->alignment : 4;
  const uint64_t rowLength = image.unpack.rowLength ? image.unpack.rowLength : image.width;
  uint32_t bits = 0;  // per pixel
  const bool packed = grIsPackedDepth(image.depthCode);
  if (packed)
    bits = grDepthBits(image.depthCode);
  else if (image.layout == grLayoutColorIndex)
    bits = grDepthBits(image.depthCode);
  else
    bits = grLayoutComponents(image.layout) * grDepthBits(image.depthCode);
  if (bits == 0) return std::nullopt;
  const uint64_t rowBytes = ((rowLength * bits + 7) / 8 + alignment - 1) / alignment * alignment;
  const uint64_t bitOffset = uint64_t(image.unpack.skipRows + row) * rowBytes * 8 +
                             uint64_t(image.unpack.skipPixels + x) * bits;
  if ((bitOffset + bits + 7) / 8 > image.pixels.size()) return std::nullopt;
  const unsigned char* p = image.pixels.begin() + bitOffset / 8;

  if (bits < 8) {  // GL_BITMAP, 4-bit or 2-bit: the first pixel in the high bits
    const uint32_t shift = 8 - bits - uint32_t(bitOffset % 8);
    const uint32_t value = (*p >> shift) & ((1u << bits) - 1);
    if (image.layout == grLayoutColorIndex) {
      if (image.colorMaps.count == 0) return std::nullopt;
      const uint32_t i = value & (image.colorMaps.count - 1);
      return Rgba{*image.colorMaps.red.at(i) / 257, *image.colorMaps.green.at(i) / 257,
                  *image.colorMaps.blue.at(i) / 257, 255};
    }
    if (image.layout != grLayoutLuminance) return std::nullopt;
    const int v = scaleBits(value, int(bits));
    return Rgba{v, v, v, 255};
  }
  if (packed) {
    uint32_t v = p[0] | p[1] << 8;
    if (image.pixelStore && image.pixelStore->swapBytes) v = p[1] | p[0] << 8;
    Rgba c{0, 0, 0, 255};
    if (image.depthCode == grPacked565 &&
        (image.layout == grLayoutRGB || image.layout == grLayoutBGR)) {
      c = {scaleBits(v >> 11, 5), scaleBits((v >> 5) & 63, 6), scaleBits(v & 31, 5), 255};
    } else if (image.depthCode == grPacked5551 &&
               (image.layout == grLayoutRGBA || image.layout == grLayoutBGRA)) {
      c = {scaleBits(v >> 11, 5), scaleBits((v >> 6) & 31, 5), scaleBits((v >> 1) & 31, 5),
           (v & 1) ? 255 : 0};
    } else {
      return std::nullopt;
    }
    if (image.layout == grLayoutBGR || image.layout == grLayoutBGRA) std::swap(c[0], c[2]);
    return c;
  }
  if (image.depthCode != grDepth8) return std::nullopt;
  switch (image.layout) {
    case grLayoutColorIndex: {
      if (image.colorMaps.count == 0) return std::nullopt;
      const uint32_t i = p[0] & (image.colorMaps.count - 1);
      return Rgba{*image.colorMaps.red.at(i) / 257, *image.colorMaps.green.at(i) / 257,
                  *image.colorMaps.blue.at(i) / 257, 255};
    }
    case grLayoutLuminance:
      return Rgba{p[0], p[0], p[0], 255};
    case grLayoutLuminanceAlpha:
      return Rgba{p[0], p[0], p[0], p[1]};
    case grLayoutRGB:
    case grLayoutRGB2:
      return Rgba{p[0], p[1], p[2], 255};
    case grLayoutRGBA:
    case grLayoutRGBA2:
      return Rgba{p[0], p[1], p[2], p[3]};
    case grLayoutBGR:
      return Rgba{p[2], p[1], p[0], 255};
    case grLayoutBGRA:
      return Rgba{p[2], p[1], p[0], p[3]};
    default:
      return std::nullopt;
  }
}

// "" when every pixel of `image` shows as `expected` within `tolerance` per
// channel; otherwise what is wrong, with the first pixel that differs.
inline std::string differences(const grImage2D& image, const Picture& expected, int tolerance) {
  int wrong = 0;
  std::ostringstream first;
  for (int row = 0; row < image.height; ++row) {
    for (int x = 0; x < image.width; ++x) {
      const std::optional<Rgba> got = resolve(image, x, row);
      if (!got) {
        std::ostringstream out;
        out << "a description GL would not show this way: layout " << image.layout
            << ", depth code " << image.depthCode << ", " << image.colorMaps.count
            << " colour map entries";
        return out.str();
      }
      const int y = image.height - 1 - row;
      const Rgba& want = expected.at(x, y);
      bool same = true;
      for (int c = 0; c < 4; ++c) same = same && std::abs((*got)[c] - want[c]) <= tolerance;
      if (!same && wrong++ == 0)
        first << "first at (" << x << ", " << y << " from the top): got " << (*got)[0] << ","
              << (*got)[1] << "," << (*got)[2] << "," << (*got)[3] << " want " << want[0] << ","
              << want[1] << "," << want[2] << "," << want[3];
    }
  }
  return wrong ? std::to_string(wrong) + " pixels differ, " + first.str() : "";
}

}  // namespace picturetest
