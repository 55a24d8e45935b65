// Matrix-shaper RGB to sRGB: curves, matrix, clipping, sRGB's curve.
#include "photo/matrix_shaper.h"

#include <lcms2.h>

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace libgr {

namespace {

struct ProfileRelease {
  void operator()(void* p) const { cmsCloseProfile(p); }
};

// The colorant matrix of a matrix-shaper profile (columns: red, green,
// blue, in the D50 connection space), or false.
bool colorants(cmsHPROFILE profile, double m[9]) {
  const cmsTagSignature tags[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                   cmsSigBlueColorantTag};
  for (int c = 0; c < 3; ++c) {
    const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, tags[c]));
    if (!xyz) return false;
    m[0 * 3 + c] = xyz->X;
    m[1 * 3 + c] = xyz->Y;
    m[2 * 3 + c] = xyz->Z;
  }
  return true;
}

bool invert(const double m[9], double out[9]) {
  const double det = m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
                     m[2] * (m[3] * m[7] - m[4] * m[6]);
  if (std::fabs(det) < 1e-12) return false;
  out[0] = (m[4] * m[8] - m[5] * m[7]) / det;
  out[1] = (m[2] * m[7] - m[1] * m[8]) / det;
  out[2] = (m[1] * m[5] - m[2] * m[4]) / det;
  out[3] = (m[5] * m[6] - m[3] * m[8]) / det;
  out[4] = (m[0] * m[8] - m[2] * m[6]) / det;
  out[5] = (m[2] * m[3] - m[0] * m[5]) / det;
  out[6] = (m[3] * m[7] - m[4] * m[6]) / det;
  out[7] = (m[1] * m[6] - m[0] * m[7]) / det;
  out[8] = (m[0] * m[4] - m[1] * m[3]) / det;
  return true;
}

}  // namespace

std::unique_ptr<grMatrixShaper> grMatrixShaper::toSrgb(void* profile) {
  if (!profile || cmsGetColorSpace(profile) != cmsSigRgbData || !cmsIsMatrixShaper(profile))
    return nullptr;
  std::unique_ptr<void, ProfileRelease> srgb(cmsCreate_sRGBProfile());
  double source[9], target[9], targetInverse[9];
  if (!srgb || !colorants(profile, source) || !colorants(srgb.get(), target) ||
      !invert(target, targetInverse))
    return nullptr;
  const cmsTagSignature curves[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
  const auto* srgbCurve = static_cast<const cmsToneCurve*>(cmsReadTag(srgb.get(), cmsSigRedTRCTag));
  if (!srgbCurve) return nullptr;

  double matrix[9];
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col) {
      double sum = 0;
      for (int k = 0; k < 3; ++k) sum += targetInverse[row * 3 + k] * source[k * 3 + col];
      matrix[row * 3 + col] = sum;
    }
  auto shaper = std::unique_ptr<grMatrixShaper>(new grMatrixShaper);
  for (int c = 0; c < 3; ++c) {
    const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(profile, curves[c]));
    if (!curve) return nullptr;
    for (int v = 0; v < 256; ++v) {
      const double linear =
          std::min(1.0, std::max(0.0, double(cmsEvalToneCurveFloat(curve, float(v) / 255.0f))));
      grMatrixShaper::Contribution& to = shaper->contribution_[c][v];
      for (int out = 0; out < 3; ++out)
        to.rgb[out] = int32_t(std::lround(linear * matrix[out * 3 + c] * kLinearOne * (1 << 14)));
      to.rgb[3] = 0;
    }
  }
  // sRGB's own curve, inverted, sampled at every linear step.
  cmsToneCurve* encode = cmsReverseToneCurve(srgbCurve);
  if (!encode) return nullptr;
  shaper->encode_.resize(kLinearOne + 1);
  for (int i = 0; i <= kLinearOne; ++i) {
    const float value = cmsEvalToneCurveFloat(encode, float(i) / kLinearOne);
    shaper->encode_[i] = (unsigned char)std::lround(std::min(1.0f, std::max(0.0f, value)) * 255.0f);
  }
  cmsFreeToneCurve(encode);
  return shaper;
}

namespace {

using Contribution = grMatrixShaper::Contribution;

// The pixel loop with the order and size fixed: each output channel is the
// sum of three table entries, clipped and encoded.
template <int R, int B, int PixelBytes>
void applyTo(unsigned char* pixels, uint32_t width, uint32_t rows, std::size_t stride,
             const Contribution* __restrict cr, const Contribution* __restrict cg,
             const Contribution* __restrict cb, const unsigned char* __restrict encode) {
  constexpr int32_t half = 1 << 13;
#if !defined(__SSE2__)
  constexpr int32_t one = grMatrixShaper::kLinearOne;
  const auto clip = [](int32_t v) { return v < 0 ? 0 : v > one ? one : v; };
#endif
  for (uint32_t y = 0; y < rows; ++y) {
    unsigned char* p = pixels + y * stride;
    for (uint32_t x = 0; x < width; ++x, p += PixelBytes) {
#if defined(__SSE2__)
      // The three lanes at once; saturating to 16 bits clips at 1.0.
      __m128i sum = _mm_add_epi32(_mm_load_si128(reinterpret_cast<const __m128i*>(&cr[p[R]])),
                                  _mm_load_si128(reinterpret_cast<const __m128i*>(&cg[p[1]])));
      sum = _mm_add_epi32(sum, _mm_load_si128(reinterpret_cast<const __m128i*>(&cb[p[B]])));
      sum = _mm_srai_epi32(_mm_add_epi32(sum, _mm_set1_epi32(half)), 14);
      const __m128i linear = _mm_max_epi16(_mm_packs_epi32(sum, sum), _mm_setzero_si128());
      p[R] = encode[_mm_extract_epi16(linear, 0)];
      p[1] = encode[_mm_extract_epi16(linear, 1)];
      p[B] = encode[_mm_extract_epi16(linear, 2)];
#else
      const int32_t* r = cr[p[R]].rgb;
      const int32_t* g = cg[p[1]].rgb;
      const int32_t* b = cb[p[B]].rgb;
      int32_t sum[4];
      for (int k = 0; k < 4; ++k) sum[k] = (r[k] + g[k] + b[k] + half) >> 14;
      p[R] = encode[clip(sum[0])];
      p[1] = encode[clip(sum[1])];
      p[B] = encode[clip(sum[2])];
#endif
    }
  }
}

}  // namespace

void grMatrixShaper::apply(unsigned char* pixels, uint32_t width, uint32_t rows, std::size_t stride,
                           uint32_t pixelBytes, bool bgr) const {
  const Contribution *r = contribution_[0].data(), *g = contribution_[1].data(),
                     *b = contribution_[2].data();
  const unsigned char* encode = encode_.data();
  if (bgr && pixelBytes == 4)
    applyTo<2, 0, 4>(pixels, width, rows, stride, r, g, b, encode);
  else if (bgr)
    applyTo<2, 0, 3>(pixels, width, rows, stride, r, g, b, encode);
  else if (pixelBytes == 4)
    applyTo<0, 2, 4>(pixels, width, rows, stride, r, g, b, encode);
  else
    applyTo<0, 2, 3>(pixels, width, rows, stride, r, g, b, encode);
}

}  // namespace libgr
