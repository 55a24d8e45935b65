// Matrix-shaper RGB to sRGB: curves, matrix, clipping, sRGB's curve.
#include "graphics/photo/matrix_shaper.h"

#include <lcms2.h>

#include <cmath>

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

  auto shaper = std::unique_ptr<grMatrixShaper>(new grMatrixShaper);
  for (int c = 0; c < 3; ++c) {
    const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(profile, curves[c]));
    if (!curve) return nullptr;
    for (int v = 0; v < 256; ++v) {
      const float linear = cmsEvalToneCurveFloat(curve, float(v) / 255.0f);
      shaper->linear_[c][v] =
          int32_t(std::lround(std::min(1.0f, std::max(0.0f, linear)) * kLinearOne));
    }
  }
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col) {
      double sum = 0;
      for (int k = 0; k < 3; ++k) sum += targetInverse[row * 3 + k] * source[k * 3 + col];
      shaper->matrix_[row * 3 + col] = int32_t(std::lround(sum * (1 << 14)));
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

void grMatrixShaper::apply(unsigned char* pixels, uint32_t width, uint32_t rows, std::size_t stride,
                           uint32_t pixelBytes, bool bgr) const {
  const int ri = bgr ? 2 : 0, bi = bgr ? 0 : 2;
  const int32_t* m = matrix_.data();
  const unsigned char* encode = encode_.data();
  const auto clip = [](int32_t v) { return v < 0 ? 0 : v > kLinearOne ? kLinearOne : v; };
  for (uint32_t y = 0; y < rows; ++y) {
    unsigned char* p = pixels + y * stride;
    for (uint32_t x = 0; x < width; ++x, p += pixelBytes) {
      const int32_t r = linear_[0][p[ri]], g = linear_[1][p[1]], b = linear_[2][p[bi]];
      constexpr int32_t half = 1 << 13;
      p[ri] = encode[clip((m[0] * r + m[1] * g + m[2] * b + half) >> 14)];
      p[1] = encode[clip((m[3] * r + m[4] * g + m[5] * b + half) >> 14)];
      p[bi] = encode[clip((m[6] * r + m[7] * g + m[8] * b + half) >> 14)];
    }
  }
}

}  // namespace libgr
