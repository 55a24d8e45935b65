// GLU's level sizes and the 2 x 2 halving of the levels below the base, on
// 8-bit samples in fixed point.
#include "graphics/mip_chain.h"

#include <algorithm>

#include "graphics/pixel_format.h"

namespace libgr {

uint32_t gluNearestPower(uint32_t side) {
  if (side == 0) return 0;
  uint32_t power = 1;
  for (;;) {
    if (side == 1) return power;
    if (side == 3) return power * 4;
    side >>= 1;
    power *= 2;
  }
}

grLevelSize gluBaseLevelSize(uint32_t width, uint32_t height, uint32_t maxSide) {
  grLevelSize size{gluNearestPower(width), gluNearestPower(height)};
  while ((size.width > maxSide || size.height > maxSide) && (size.width > 1 || size.height > 1)) {
    size.width = std::max<uint32_t>(1, size.width / 2);
    size.height = std::max<uint32_t>(1, size.height / 2);
  }
  return size;
}

namespace {

// The next level: 2 x 2 averages (2 x 1 where a side is already 1).
template <uint32_t C>
void halveOf(const unsigned char* in, uint32_t w, uint32_t h, unsigned char* out) {
  const uint32_t ow = std::max<uint32_t>(1, w / 2), oh = std::max<uint32_t>(1, h / 2);
  const std::size_t inRow = std::size_t(w) * C;
  const std::size_t dx = w > 1 ? C : 0, dy = h > 1 ? inRow : 0;
  const std::size_t stepX = w > 1 ? 2 * C : C;
  for (uint32_t y = 0; y < oh; ++y) {
    const unsigned char* p = in + std::size_t(y) * (h > 1 ? 2 : 1) * inRow;
    unsigned char* target = out + std::size_t(y) * ow * C;
    for (uint32_t x = 0; x < ow; ++x, p += stepX, target += C)
      for (uint32_t k = 0; k < C; ++k)
        target[k] = (unsigned char)((p[k] + p[k + dx] + p[k + dy] + p[k + dx + dy] + 2) >> 2);
  }
}

void halve(const unsigned char* in, uint32_t w, uint32_t h, uint32_t c, unsigned char* out) {
  switch (c) {
    case 1:
      return halveOf<1>(in, w, h, out);
    case 2:
      return halveOf<2>(in, w, h, out);
    case 3:
      return halveOf<3>(in, w, h, out);
    default:
      return halveOf<4>(in, w, h, out);
  }
}

}  // namespace

bool buildMipChain(const grImage2D& source, grLevelSize base, std::vector<grImage2D>& levels) {
  levels.clear();
  grImage2D level0;
  if (!resampleImage(source, base, level0)) return false;
  const uint32_t c = grLayoutComponents(source.layout);
  levels.push_back(level0);

  uint32_t w = base.width, h = base.height;
  while (w > 1 || h > 1) {
    const uint32_t nw = std::max<uint32_t>(1, w / 2), nh = std::max<uint32_t>(1, h / 2);
    refvector2<unsigned char> pixels;
    if (!allocatePixelStorage(pixels, uint64_t(nw * nh * c))) {
      levels.clear();
      return false;
    }
    halve(levels.back().pixels.begin(), w, h, c, pixels.begin());
    levels.push_back(imageLike(source, pixels, nw, nh));
    w = nw;
    h = nh;
  }
  return true;
}

}  // namespace libgr
