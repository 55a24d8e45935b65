// Writes the two sample photographs the scene shows, made procedurally:
//   p6155961.bmp  a brick wall (the upright photograph)
//   p6155955.bmp  a wooden plank floor (the floor photograph)
// Both are 512 x 512, 24-bit, bottom-up Windows BMP files. Each shows which
// way is up: a painted arrow pointing to the image's top edge, a marker in
// the top-left corner (a sun on the wall, a green inlay on the floor) and
// light that fades towards the bottom.
//
// Usage: make_sample_photos <output directory>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/bmp_writer.h"

namespace {

constexpr int kSize = 512;

struct Rgb {
  double r, g, b;
};

Rgb mix(Rgb a, Rgb b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
Rgb scale(Rgb c, double f) { return {c.r * f, c.g * f, c.b * f}; }

// An image with (0, 0) at the top-left, as one thinks of a picture; the
// writer turns it bottom-up.
class Picture {
 public:
  Picture() : pixels_(static_cast<size_t>(kSize) * kSize) {}
  Rgb& at(int x, int y) { return pixels_[static_cast<size_t>(y) * kSize + x]; }
  const Rgb& at(int x, int y) const { return pixels_[static_cast<size_t>(y) * kSize + x]; }

 private:
  std::vector<Rgb> pixels_;
};

// Repeatable pseudo-random value in [0, 1) for integer coordinates.
double hash(int x, int y, int seed) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
               static_cast<uint32_t>(seed) * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return ((h ^ (h >> 16)) & 0xFFFFFF) / static_cast<double>(0x1000000);
}

// Smooth value noise, period-free, in [0, 1).
double noise(double x, double y, int seed) {
  const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
  const double fx = x - x0, fy = y - y0;
  const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
  const double top = hash(x0, y0, seed) + (hash(x0 + 1, y0, seed) - hash(x0, y0, seed)) * sx;
  const double bottom =
      hash(x0, y0 + 1, seed) + (hash(x0 + 1, y0 + 1, seed) - hash(x0, y0 + 1, seed)) * sx;
  return top + (bottom - top) * sy;
}

// Coverage (0..1) of an upward arrow centred at (cx, cy): a triangular head
// over a shaft, with a one-pixel soft edge.
double arrowCoverage(int x, int y, double cx, double cy, double size) {
  const double dx = std::abs(x + 0.5 - cx), top = cy - size, headBase = cy - size * 0.25;
  const double yy = y + 0.5;
  double inside = -1e9;  // signed distance-ish: positive inside
  if (yy >= top && yy <= headBase) {
    const double halfWidth = (yy - top) / (headBase - top) * size * 0.55;
    inside = std::min(halfWidth - dx, std::min(yy - top, headBase - yy + 1));
  } else if (yy > headBase && yy <= cy + size) {
    inside = std::min(size * 0.2 - dx, cy + size - yy);
  }
  return std::clamp(inside + 0.5, 0.0, 1.0);
}

Picture brickWall() {
  Picture p;
  constexpr int brickW = 64, brickH = 32, mortar = 4;
  const Rgb mortarColour{178, 170, 155};
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      const int row = y / brickH;
      const int shifted = x + (row % 2) * (brickW / 2);
      const int col = shifted / brickW;
      const int bx = shifted % brickW, by = y % brickH;
      Rgb c;
      if (bx < mortar || by < mortar) {
        c = scale(mortarColour, 0.85 + 0.15 * noise(x * 0.5, y * 0.5, 3));
      } else {
        const double tone = hash(col, row, 1);
        const Rgb brick = mix(Rgb{150, 62, 42}, Rgb{190, 98, 64}, tone);
        const double grain = 0.8 + 0.25 * noise(x * 0.15, y * 0.15, 2) + 0.08 * hash(x, y, 4);
        c = scale(brick, grain);
      }
      // Light from above: brighter at the top of the wall.
      p.at(x, y) = scale(c, 1.1 - 0.35 * y / kSize);
    }
  // A pale painted arrow pointing up, in the middle.
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      const double a = arrowCoverage(x, y, 256, 270, 150) * 0.8;
      p.at(x, y) = mix(p.at(x, y), Rgb{240, 236, 220}, a);
    }
  // A yellow sun in the top-left corner.
  for (int y = 0; y < 110; ++y)
    for (int x = 0; x < 110; ++x) {
      const double d = std::hypot(x - 52.0, y - 52.0);
      const double disc = std::clamp(40.0 - d, 0.0, 1.0);
      const double halo = std::clamp((58.0 - d) / 18.0, 0.0, 1.0) * 0.5;
      p.at(x, y) = mix(p.at(x, y), Rgb{255, 214, 60}, std::max(disc, halo));
    }
  return p;
}

Picture plankFloor() {
  Picture p;
  constexpr int plankW = 64;
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      const int plank = x / plankW;
      // Planks run up the image, with staggered butt joints.
      const int joint = (plank * 197) % 256 + 128;
      const int segment = (y + joint) / 384;
      const double tone = hash(plank, segment, 7);
      const Rgb wood = mix(Rgb{122, 78, 42}, Rgb{176, 124, 72}, tone);
      const double wobble = 6 * noise(y * 0.02, plank + segment * 11.0, 8);
      const double rings =
          0.5 + 0.5 * std::sin((x % plankW + wobble) * 0.9 + 4 * noise(x * 0.05, y * 0.01, 9));
      Rgb c = scale(wood, 0.82 + 0.18 * rings + 0.06 * hash(x, y, 10));
      const bool seam = x % plankW < 2 || (y + joint) % 384 < 2;
      if (seam) c = scale(c, 0.45);
      // Fades towards the bottom edge, the side facing the viewer.
      p.at(x, y) = scale(c, 1.05 - 0.3 * y / kSize);
    }
  // A dark inlaid arrow pointing up, in the middle.
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      const double a = arrowCoverage(x, y, 256, 270, 150);
      p.at(x, y) = mix(p.at(x, y), scale(p.at(x, y), 0.45), a);
    }
  // A green inlay in the top-left corner.
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x) {
      const double inside =
          std::clamp(std::min(90.0 - x - y, std::min(x - 8.0, y - 8.0)), 0.0, 1.0);
      p.at(x, y) = mix(p.at(x, y), Rgb{46, 150, 80}, inside);
    }
  return p;
}

uint8_t toByte(double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

bool writeBmp(const std::string& path, const Picture& picture) {
  return bmpwriter::writeFile(
      path, bmpwriter::encodeRgb24(kSize, kSize, [&](int x, int y) {
        const Rgb& c = picture.at(x, y);
        return std::array<uint8_t, 3>{toByte(c.r), toByte(c.g), toByte(c.b)};
      }));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  bool ok = writeBmp(dir + "/p6155961.bmp", brickWall());
  ok = writeBmp(dir + "/p6155955.bmp", plankFloor()) && ok;
  if (!ok) std::fprintf(stderr, "%s: could not write the photographs into %s\n", argv[0], argv[1]);
  return ok ? 0 : 1;
}
