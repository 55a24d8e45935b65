// Area-averaging resampling and 2 x 2 halving on 8-bit samples, in fixed
// point.
#include "graphics/mip_chain.h"

#include <algorithm>
#include <cstring>
#include <chrono>
#include <cstdio>

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

constexpr uint32_t kOne = 1u << 14;  // fixed-point 1.0 of the filter weights

// Each output sample's footprint over the input samples: taps first..
// first+count-1, their weights (summing to kOne) at weights[offset..].
struct Footprints {
  std::vector<uint32_t> first, offset, count, weights;
};

// Box filter of each output sample's extent over the input samples, with
// fractional weights at both ends (what GLU's scaler does).
Footprints footprints(uint32_t in, uint32_t out) {
  Footprints f;
  f.first.resize(out);
  f.offset.resize(out);
  f.count.resize(out);
  const double step = double(in) / out;
  for (uint32_t o = 0; o < out; ++o) {
    const double low = o * step, high = std::min(double(in), (o + 1) * step);
    f.first[o] = std::min(in - 1, uint32_t(low));
    f.offset[o] = uint32_t(f.weights.size());
    uint32_t total = 0;
    for (uint32_t i = f.first[o]; i < in && double(i) < high; ++i) {
      const double covered = std::min(high, double(i + 1)) - std::max(low, double(i));
      const uint32_t w = uint32_t(covered / step * kOne + 0.5);
      f.weights.push_back(w);
      total += w;
    }
    if (f.weights.size() == f.offset[o]) f.weights.push_back(0);
    f.count[o] = uint32_t(f.weights.size()) - f.offset[o];
    // The rounding remainder goes to the largest weight, so flat areas stay flat.
    auto begin = f.weights.begin() + f.offset[o];
    *std::max_element(begin, f.weights.end()) += kOne - total;
  }
  return f;
}

unsigned char roundFixed(uint32_t sum) { return (unsigned char)((sum + kOne / 2) >> 14); }

// Rows of `in` (inWidth pixels of C bytes, `rows` rows) to outWidth pixels.
template <uint32_t C>
void resampleRowsOf(const unsigned char* in, uint32_t inWidth, uint32_t rows, unsigned char* out,
                    uint32_t outWidth, const Footprints& fx) {
  for (uint32_t y = 0; y < rows; ++y) {
    const unsigned char* row = in + std::size_t(y) * inWidth * C;
    unsigned char* target = out + std::size_t(y) * outWidth * C;
    for (uint32_t x = 0; x < outWidth; ++x, target += C) {
      uint32_t sum[C] = {};
      const unsigned char* p = row + std::size_t(fx.first[x]) * C;
      const uint32_t* w = fx.weights.data() + fx.offset[x];
      for (uint32_t t = 0; t < fx.count[x]; ++t, p += C)
        for (uint32_t k = 0; k < C; ++k) sum[k] += w[t] * p[k];
      for (uint32_t k = 0; k < C; ++k) target[k] = roundFixed(sum[k]);
    }
  }
}

void resampleRows(const unsigned char* in, uint32_t inWidth, uint32_t rows, uint32_t c,
                  unsigned char* out, uint32_t outWidth) {
  const Footprints fx = footprints(inWidth, outWidth);
  switch (c) {
    case 1:
      return resampleRowsOf<1>(in, inWidth, rows, out, outWidth, fx);
    case 2:
      return resampleRowsOf<2>(in, inWidth, rows, out, outWidth, fx);
    case 3:
      return resampleRowsOf<3>(in, inWidth, rows, out, outWidth, fx);
    default:
      return resampleRowsOf<4>(in, inWidth, rows, out, outWidth, fx);
  }
}

// Columns: each output row is a weighted sum of whole input rows.
void resampleColumns(const unsigned char* in, uint32_t inHeight, uint32_t rowBytes,
                     unsigned char* out, uint32_t outHeight) {
  const Footprints fy = footprints(inHeight, outHeight);
  std::vector<uint32_t> sum(rowBytes);
  for (uint32_t y = 0; y < outHeight; ++y) {
    const unsigned char* row = in + std::size_t(fy.first[y]) * rowBytes;
    const uint32_t* w = fy.weights.data() + fy.offset[y];
    unsigned char* target = out + std::size_t(y) * rowBytes;
    if (fy.count[y] == 1) {  // a whole row taken as it is
      std::memcpy(target, row, rowBytes);
      continue;
    }
    uint32_t* s = sum.data();
    for (uint32_t i = 0; i < rowBytes; ++i) s[i] = w[0] * row[i];
    for (uint32_t t = 1; t < fy.count[y]; ++t) {
      row += rowBytes;
      const uint32_t wt = w[t];
      for (uint32_t i = 0; i < rowBytes; ++i) s[i] += wt * row[i];
    }
    for (uint32_t i = 0; i < rowBytes; ++i) target[i] = roundFixed(s[i]);
  }
}

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

bool isPacked8Bit(const grImage2D& image) {
  const bool packedStore = image.pixelStore && image.pixelStore->alignment == 1;
  return image.depthCode == grDepth8 && image.unpack.rowLength == 0 &&
         image.unpack.skipPixels == 0 && image.unpack.skipRows == 0 && !image.compressed &&
         (packedStore || (uint64_t(image.width) * grLayoutComponents(image.layout)) % 4 == 0);
}

grImage2D levelLike(const grImage2D& source, const refvector2<unsigned char>& pixels, uint32_t w,
                    uint32_t h) {
  grImage2D level = source;
  level.pixels.view(pixels, 0, ofsvector<unsigned char>::toEnd);
  level.width = int32_t(w);
  level.height = int32_t(h);
  level.colorMaps = grColorMaps();
  level.pixelStore = &grPackedPixelStore;
  return level;
}

}  // namespace

bool buildMipChain(const grImage2D& source, grLevelSize base, std::vector<grImage2D>& levels) {
  levels.clear();
  const uint32_t c = grLayoutComponents(source.layout);
  if (c == 0 || c > 4 || source.width <= 0 || source.height <= 0 || base.width == 0 ||
      base.height == 0 || !isPacked8Bit(source))
    return false;
  const uint32_t sw = uint32_t(source.width), sh = uint32_t(source.height);
  if (source.pixels.size() < uint64_t(sw) * sh * c) return false;

  grImage2D level0 = source;
  if (sw != base.width || sh != base.height) {
    refvector2<unsigned char> across, pixels;
    if (!across.allocate(uint32_t(uint64_t(base.width) * sh * c)) ||
        !pixels.allocate(uint32_t(uint64_t(base.width) * base.height * c)))
      return false;
    auto t0 = std::chrono::steady_clock::now();
    resampleRows(source.pixels.begin(), sw, sh, c, across.begin(), base.width);
    auto t1 = std::chrono::steady_clock::now();
    resampleColumns(across.begin(), sh, base.width * c, pixels.begin(), base.height);
    auto t2 = std::chrono::steady_clock::now();
    std::printf("rows %.0f cols %.0f\n", std::chrono::duration<double, std::milli>(t1 - t0).count(), std::chrono::duration<double, std::milli>(t2 - t1).count());
    level0 = levelLike(source, pixels, base.width, base.height);
  }
  levels.push_back(level0);

  uint32_t w = base.width, h = base.height;
  while (w > 1 || h > 1) {
    const uint32_t nw = std::max<uint32_t>(1, w / 2), nh = std::max<uint32_t>(1, h / 2);
    refvector2<unsigned char> pixels;
    if (!pixels.allocate(nw * nh * c)) {
      levels.clear();
      return false;
    }
    halve(levels.back().pixels.begin(), w, h, c, pixels.begin());
    levels.push_back(levelLike(source, pixels, nw, nh));
    w = nw;
    h = nh;
  }
  return true;
}

}  // namespace libgr
