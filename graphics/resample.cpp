// Area-averaging resampling on 8-bit samples, in fixed point: the box
// filter GLU scales with, a row at a time.
#include "graphics/resample.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "graphics/pixel_format.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace libgr {

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

// The footprints of one axis with the same number of taps everywhere (the
// most any output has), padded with zero weights and kept inside the
// input: loops of fixed length over contiguous weights.
struct FixedTaps {
  uint32_t taps = 0;
  std::vector<uint32_t> first, weights;  // weights[o * taps + t]
};

FixedTaps fixedTaps(const Footprints& f, uint32_t in) {
  FixedTaps fixed;
  for (uint32_t c : f.count) fixed.taps = std::max(fixed.taps, c);
  fixed.taps = std::min(fixed.taps, in);
  const std::size_t out = f.first.size();
  fixed.first.resize(out);
  fixed.weights.assign(out * fixed.taps, 0);
  for (std::size_t o = 0; o < out; ++o) {
    const uint32_t start = std::min(f.first[o], in - fixed.taps);
    fixed.first[o] = start;
    for (uint32_t t = 0; t < f.count[o]; ++t)
      fixed.weights[o * fixed.taps + (f.first[o] - start) + t] = f.weights[f.offset[o] + t];
  }
  return fixed;
}

// Output pixels [from, fixed.first.size()) of one row of pixels of C
// bytes.
template <uint32_t C, uint32_t T>
void resampleRow(const unsigned char* row, const FixedTaps& fixed, std::size_t from,
                 unsigned char* target) {
  const uint32_t taps = T ? T : fixed.taps;
  const std::size_t out = fixed.first.size();
  const uint32_t* w = fixed.weights.data() + from * taps;
  target += from * C;
  for (std::size_t x = from; x < out; ++x, target += C, w += taps) {
    uint32_t sum[C] = {};
    const unsigned char* p = row + std::size_t(fixed.first[x]) * C;
    for (uint32_t t = 0; t < taps; ++t, p += C)
      for (uint32_t k = 0; k < C; ++k) sum[k] += w[t] * p[k];
    for (uint32_t k = 0; k < C; ++k) target[k] = roundFixed(sum[k]);
  }
}

template <uint32_t C>
void resampleRowFrom(const unsigned char* row, const FixedTaps& fixed, std::size_t from,
                     unsigned char* target) {
  switch (fixed.taps) {
    case 1:
      return resampleRow<C, 1>(row, fixed, from, target);
    case 2:
      return resampleRow<C, 2>(row, fixed, from, target);
    case 3:
      return resampleRow<C, 3>(row, fixed, from, target);
    case 4:
      return resampleRow<C, 4>(row, fixed, from, target);
    default:
      return resampleRow<C, 0>(row, fixed, from, target);
  }
}

#if defined(__SSE2__)
// Three- and four-component rows, up to four taps, with SSE2: the taps
// taken two at a time as 16-bit pairs (tap 0 R, tap 1 R, tap 0 G, ...) and
// multiplied by their weight pair with pmaddwd, which sums each pair into
// one 32-bit lane per component: the same integer sums as the plain loop,
// so the same bytes. Each tap is loaded as 4 bytes and each output written
// as 4, so the pixels near the row's end, where that would reach past it,
// are left to the plain loop.
template <uint32_t C>
__m128i tapPair(const unsigned char* p) {
  uint32_t a, b;
  std::memcpy(&a, p, 4);
  std::memcpy(&b, p + C, 4);
  const __m128i bytes = _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(a)), _mm_cvtsi32_si128(int(b)));
  return _mm_unpacklo_epi8(bytes, _mm_setzero_si128());
}

template <uint32_t C, uint32_t Pairs>
void resampleRowInPairs(const unsigned char* row, const FixedTaps& fixed, uint32_t inWidth,
                        unsigned char* target) {
  const std::size_t out = fixed.first.size();
  // Loads reach (first + 2 * Pairs - 1) * C + 4 bytes into the row; the
  // last pixel's 4-byte store would reach into the next.
  std::size_t end = out > 0 ? out - 1 : 0;
  while (end > 0 &&
         (uint64_t(fixed.first[end - 1]) + 2 * Pairs - 1) * C + 4 > uint64_t(inWidth) * C)
    --end;
  const uint32_t taps = fixed.taps;
  const __m128i half = _mm_set1_epi32(int(kOne / 2));
  for (std::size_t x = 0; x < end; ++x) {
    const unsigned char* p = row + std::size_t(fixed.first[x]) * C;
    const uint32_t* w = fixed.weights.data() + x * taps;
    __m128i sum = _mm_setzero_si128();
    for (uint32_t pair = 0; pair < Pairs; ++pair) {
      const uint32_t w0 = w[2 * pair], w1 = 2 * pair + 1 < taps ? w[2 * pair + 1] : 0;
      const __m128i weights = _mm_set1_epi32(int(w0 | (w1 << 16)));
      sum = _mm_add_epi32(sum, _mm_madd_epi16(tapPair<C>(p + 2 * pair * C), weights));
    }
    sum = _mm_srli_epi32(_mm_add_epi32(sum, half), 14);
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(sum, sum), sum);
    const uint32_t pixel = uint32_t(_mm_cvtsi128_si32(bytes));
    std::memcpy(target + x * C, &pixel, 4);
  }
  resampleRowFrom<C>(row, fixed, end, target);
}
#endif

// One row of inWidth pixels of C bytes to fixed.first.size() pixels.
template <uint32_t C>
void resampleRowOf(const unsigned char* row, const FixedTaps& fixed, uint32_t inWidth,
                   unsigned char* target) {
#if defined(__SSE2__)
  // Weights up to kOne fit pmaddwd's signed 16 bits.
  if constexpr (C == 3 || C == 4) {
    if (fixed.taps <= 2) return resampleRowInPairs<C, 1>(row, fixed, inWidth, target);
    if (fixed.taps <= 4) return resampleRowInPairs<C, 2>(row, fixed, inWidth, target);
  }
#endif
  (void)inWidth;
  resampleRowFrom<C>(row, fixed, 0, target);
}

using RowResampler = void (*)(const unsigned char*, const FixedTaps&, uint32_t, unsigned char*);

RowResampler rowResamplerFor(uint32_t c) {
  switch (c) {
    case 1:
      return resampleRowOf<1>;
    case 2:
      return resampleRowOf<2>;
    case 3:
      return resampleRowOf<3>;
    default:
      return resampleRowOf<4>;
  }
}

// target[i] = a[i] * wa + b[i] * wb in fixed point, rounded: an output row
// between two input rows (every row when a picture is enlarged less than
// twice, as camera pictures are on their short side).
void blendRows(const unsigned char* a, const unsigned char* b, uint32_t wa, uint32_t wb,
               unsigned char* target, std::size_t n) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i weights = _mm_set1_epi32(int(wa | (wb << 16)));
  const __m128i half = _mm_set1_epi32(int(kOne / 2)), zero = _mm_setzero_si128();
  const auto blend4 = [&](__m128i pairs) {
    return _mm_srli_epi32(_mm_add_epi32(_mm_madd_epi16(pairs, weights), half), 14);
  };
  for (; i + 16 <= n; i += 16) {
    const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    const __m128i low = _mm_unpacklo_epi8(va, vb), high = _mm_unpackhi_epi8(va, vb);
    const __m128i s0 = blend4(_mm_unpacklo_epi8(low, zero));
    const __m128i s1 = blend4(_mm_unpackhi_epi8(low, zero));
    const __m128i s2 = blend4(_mm_unpacklo_epi8(high, zero));
    const __m128i s3 = blend4(_mm_unpackhi_epi8(high, zero));
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(s0, s1), _mm_packs_epi32(s2, s3));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target + i), bytes);
  }
#endif
  for (; i < n; ++i) target[i] = roundFixed(wa * a[i] + wb * b[i]);
}

// Area averaging of a whole picture, a row at a time: each input row is
// resampled across once, when the first output row needs it, into a ring of
// as many rows as an output row takes; output rows are weighted sums of
// those. No picture-sized buffer between the two directions.
void resample(const unsigned char* in, uint32_t sw, uint32_t sh, uint32_t c, unsigned char* out,
              uint32_t dw, uint32_t dh) {
  const FixedTaps fx = fixedTaps(footprints(sw, dw), sw);
  const Footprints fy = footprints(sh, dh);
  const RowResampler across = rowResamplerFor(c);
  const std::size_t inRow = std::size_t(sw) * c, outRow = std::size_t(dw) * c;

  uint32_t ringRows = 0;
  for (uint32_t n : fy.count) ringRows = std::max(ringRows, n);
  std::vector<unsigned char> ring(ringRows * outRow);
  std::vector<int64_t> held(ringRows, -1);  // the input row in each slot
  std::vector<uint32_t> sum(outRow);
  const auto acrossRow = [&](uint32_t y) -> const unsigned char* {
    unsigned char* slot = ring.data() + (y % ringRows) * outRow;
    if (held[y % ringRows] != y) {
      if (sw == dw)
        std::memcpy(slot, in + y * inRow, outRow);
      else
        across(in + y * inRow, fx, sw, slot);
      held[y % ringRows] = y;
    }
    return slot;
  };
  for (uint32_t y = 0; y < dh; ++y) {
    const uint32_t* w = fy.weights.data() + fy.offset[y];
    unsigned char* target = out + y * outRow;
    if (fy.count[y] == 1) {  // a whole row taken as it is
      std::memcpy(target, acrossRow(fy.first[y]), outRow);
      continue;
    }
    if (fy.count[y] == 2) {
      const unsigned char* a = acrossRow(fy.first[y]);
      blendRows(a, acrossRow(fy.first[y] + 1), w[0], w[1], target, outRow);
      continue;
    }
    uint32_t* s = sum.data();
    const unsigned char* row = acrossRow(fy.first[y]);
    for (std::size_t i = 0; i < outRow; ++i) s[i] = w[0] * row[i];
    for (uint32_t t = 1; t < fy.count[y]; ++t) {
      row = acrossRow(fy.first[y] + t);
      const uint32_t wt = w[t];
      for (std::size_t i = 0; i < outRow; ++i) s[i] += wt * row[i];
    }
    for (std::size_t i = 0; i < outRow; ++i) target[i] = roundFixed(s[i]);
  }
}

}  // namespace

bool isPacked8BitImage(const grImage2D& image) {
  const bool packedStore = image.pixelStore && image.pixelStore->alignment == 1;
  return image.depthCode == grDepth8 && image.unpack.rowLength == 0 &&
         image.unpack.skipPixels == 0 && image.unpack.skipRows == 0 && !image.compressed &&
         (packedStore || (uint64_t(image.width) * grLayoutComponents(image.layout)) % 4 == 0);
}

grImage2D imageLike(const grImage2D& source, const refvector2<unsigned char>& pixels, uint32_t w,
                    uint32_t h) {
  grImage2D level = source;
  level.pixels.view(pixels, 0, ofsvector<unsigned char>::toEnd);
  level.width = int32_t(w);
  level.height = int32_t(h);
  level.colorMaps = grColorMaps();
  level.pixelStore = &grPackedPixelStore;
  return level;
}

bool resampleImage(const grImage2D& source, grLevelSize size, grImage2D& out) {
  const uint32_t c = grLayoutComponents(source.layout);
  if (c == 0 || c > 4 || source.width <= 0 || source.height <= 0 || size.width == 0 ||
      size.height == 0 || !isPacked8BitImage(source))
    return false;
  const uint32_t sw = uint32_t(source.width), sh = uint32_t(source.height);
  if (source.pixels.size() < uint64_t(sw) * sh * c) return false;
  if (sw == size.width && sh == size.height) {
    out = source;
    return true;
  }
  refvector2<unsigned char> pixels;
  if (!allocatePixelStorage(pixels, uint64_t(size.width) * size.height * c)) return false;
  resample(source.pixels.begin(), sw, sh, c, pixels.begin(), size.width, size.height);
  out = imageLike(source, pixels, size.width, size.height);
  return true;
}

}  // namespace libgr
