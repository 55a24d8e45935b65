// Colour descriptions by code points: profiles made with Little CMS, the
// BT.2100 transfer functions, and tone mapping of HDR pictures to sRGB.
#include "photo/cicp_colour.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace libgr {

namespace {

// Chromaticities (x, y) of red, green, blue and white.
struct Primaries {
  uint16_t code;
  double xy[8];
};

constexpr double kD65x = 0.3127, kD65y = 0.3290;
constexpr Primaries kPrimaries[] = {
    {1, {0.640, 0.330, 0.300, 0.600, 0.150, 0.060, kD65x, kD65y}},
    {2, {0.640, 0.330, 0.300, 0.600, 0.150, 0.060, kD65x, kD65y}},  // not given: sRGB's
    {4, {0.67, 0.33, 0.21, 0.71, 0.14, 0.08, 0.310, 0.316}},
    {5, {0.64, 0.33, 0.29, 0.60, 0.15, 0.06, kD65x, kD65y}},
    {6, {0.630, 0.340, 0.310, 0.595, 0.155, 0.070, kD65x, kD65y}},
    {7, {0.630, 0.340, 0.310, 0.595, 0.155, 0.070, kD65x, kD65y}},
    {8, {0.681, 0.319, 0.243, 0.692, 0.145, 0.049, 0.310, 0.316}},
    {9, {0.708, 0.292, 0.170, 0.797, 0.131, 0.046, kD65x, kD65y}},
    {11, {0.680, 0.320, 0.265, 0.690, 0.150, 0.060, 0.314, 0.351}},
    {12, {0.680, 0.320, 0.265, 0.690, 0.150, 0.060, kD65x, kD65y}},
};

const Primaries* findPrimaries(uint16_t code) {
  for (const Primaries& p : kPrimaries)
    if (p.code == code) return &p;
  return nullptr;
}

bool isSrgbPrimaries(uint16_t code) { return code == 1 || code == 2; }

// Little CMS parametric curves (signal to linear light) of the SDR
// transfers known.
struct Curve {
  int type;
  double parameters[5];
};
constexpr Curve kSrgbCurve = {4, {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045}};

const Curve* findCurve(uint16_t transfer) {
  static constexpr Curve gamma22 = {1, {2.2}}, gamma28 = {1, {2.8}}, linear = {1, {1.0}};
  switch (transfer) {
    case 1:  // BT.709, BT.601, BT.2020: read as sRGB (cicp_colour.h says why)
    case 2:
    case 6:
    case 13:
    case 14:
    case 15:
      return &kSrgbCurve;
    case 4:
      return &gamma22;
    case 5:
      return &gamma28;
    case 8:
      return &linear;
    default:
      return nullptr;
  }
}

std::string unknownCode(const char* what, uint16_t code) {
  return std::string("its colour description (") + what + " " + std::to_string(code) +
         ") is not one the program knows";
}

using Matrix = std::array<double, 9>;  // row-major

Matrix multiply(const Matrix& a, const Matrix& b) {
  Matrix m{};
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col)
      for (int k = 0; k < 3; ++k) m[row * 3 + col] += a[row * 3 + k] * b[k * 3 + col];
  return m;
}

Matrix inverse(const Matrix& m) {
  const double det = m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
                     m[2] * (m[3] * m[7] - m[4] * m[6]);
  return {(m[4] * m[8] - m[5] * m[7]) / det, (m[2] * m[7] - m[1] * m[8]) / det,
          (m[1] * m[5] - m[2] * m[4]) / det, (m[5] * m[6] - m[3] * m[8]) / det,
          (m[0] * m[8] - m[2] * m[6]) / det, (m[2] * m[3] - m[0] * m[5]) / det,
          (m[3] * m[7] - m[4] * m[6]) / det, (m[1] * m[6] - m[0] * m[7]) / det,
          (m[0] * m[4] - m[1] * m[3]) / det};
}

std::array<double, 3> xyToXyz(double x, double y) { return {x / y, 1.0, (1 - x - y) / y}; }

// Linear RGB of these primaries to CIE XYZ, white at Y = 1.
Matrix rgbToXyz(const Primaries& p) {
  Matrix columns{};
  for (int c = 0; c < 3; ++c) {
    const std::array<double, 3> xyz = xyToXyz(p.xy[2 * c], p.xy[2 * c + 1]);
    for (int row = 0; row < 3; ++row) columns[row * 3 + c] = xyz[row];
  }
  const Matrix toColumns = inverse(columns);
  const std::array<double, 3> white = xyToXyz(p.xy[6], p.xy[7]);
  for (int c = 0; c < 3; ++c) {
    const double scale = toColumns[c * 3] * white[0] + toColumns[c * 3 + 1] * white[1] +
                         toColumns[c * 3 + 2] * white[2];
    for (int row = 0; row < 3; ++row) columns[row * 3 + c] *= scale;
  }
  return columns;
}

// Bradford adaptation of XYZ from one white to another, as Little CMS
// adapts whites for the relative colorimetric intent of the SDR path.
Matrix adaptation(double fromX, double fromY, double toX, double toY) {
  const Matrix bradford = {0.8951, 0.2664, -0.1614, -0.7502, 1.7135,
                           0.0367, 0.0389, -0.0685, 1.0296};
  const std::array<double, 3> from = xyToXyz(fromX, fromY), to = xyToXyz(toX, toY);
  Matrix scale{};
  for (int row = 0; row < 3; ++row) {
    double coneFrom = 0, coneTo = 0;
    for (int k = 0; k < 3; ++k) {
      coneFrom += bradford[row * 3 + k] * from[k];
      coneTo += bradford[row * 3 + k] * to[k];
    }
    scale[row * 4] = coneTo / coneFrom;
  }
  return multiply(inverse(bradford), multiply(scale, bradford));
}

// ITU-R BT.2100 constants.
constexpr double kPqM1 = 2610.0 / 16384, kPqM2 = 2523.0 / 4096 * 128, kPqC1 = 3424.0 / 4096,
                 kPqC2 = 2413.0 / 4096 * 32, kPqC3 = 2392.0 / 4096 * 32, kPqPeak = 10000;
constexpr double kHlgA = 0.17883277, kHlgB = 1 - 4 * kHlgA;
const double kHlgC = 0.5 - kHlgA * std::log(4 * kHlgA);
constexpr double kHlgPeak = 1000, kHlgGamma = 1.2;
constexpr double kBt2020Luminance[3] = {0.2627, 0.6780, 0.0593};

double clamp01(double v) { return v < 0 ? 0 : v > 1 ? 1 : v; }

double srgbEncode(double linear) {
  return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
}

// The HLG OOTF's gain is a power of the pixel's luminance: a table over
// the luminance's float bits (exponent and the top mantissa bits), 256
// steps an octave, so that the gain is within 0.04 % of its value at any
// brightness without a pow() a pixel. Below 2^-24 the pixel is black.
constexpr int kGainOctaves = 24, kGainStepBits = 8;
constexpr int32_t kGainBase = (127 - kGainOctaves) << kGainStepBits;
constexpr int32_t kGainEntries = (kGainOctaves << kGainStepBits) + 1;
constexpr float kGainLeast = 0x1p-24f;

// Clamped as a float, the way four are clamped at once below.
int32_t gainIndex(float luminance) {
  luminance = std::min(std::max(luminance, kGainLeast), 1.0f);
  int32_t bits;
  std::memcpy(&bits, &luminance, sizeof bits);
  return (bits >> (23 - kGainStepBits)) - kGainBase;
}

// Linear sRGB in [0, 1] to 8 bits: 2^14 steps keep the darkest codes
// within a tenth of a code of the curve.
constexpr int kEncodeSteps = (1 << 14) - 1;

}  // namespace

bool isHdrTransfer(uint16_t transfer) { return transfer == 16 || transfer == 18; }

std::vector<unsigned char> cicpProfile(const grCicp& cicp, std::string& problem) {
  const Primaries* primaries = findPrimaries(cicp.primaries);
  if (!primaries) {
    problem = unknownCode("primaries", cicp.primaries);
    return {};
  }
  if (isHdrTransfer(cicp.transfer)) {
    problem = "its colour description (transfer " + std::to_string(cicp.transfer) +
              ") is HDR, which is tone mapped rather than converted";
    return {};
  }
  const Curve* curve = findCurve(cicp.transfer);
  if (!curve) {
    problem = unknownCode("transfer", cicp.transfer);
    return {};
  }
  if (isSrgbPrimaries(cicp.primaries) && curve == &kSrgbCurve) return {};

  const double* xy = primaries->xy;
  const cmsCIExyY white = {xy[6], xy[7], 1.0};
  const cmsCIExyYTRIPLE colorants = {{xy[0], xy[1], 1.0}, {xy[2], xy[3], 1.0}, {xy[4], xy[5], 1.0}};
  std::unique_ptr<cmsToneCurve, void (*)(cmsToneCurve*)> tone(
      cmsBuildParametricToneCurve(nullptr, curve->type, curve->parameters), cmsFreeToneCurve);
  std::unique_ptr<void, cmsBool (*)(cmsHPROFILE)> profile(nullptr, cmsCloseProfile);
  if (tone) {
    cmsToneCurve* const curves[3] = {tone.get(), tone.get(), tone.get()};
    profile.reset(cmsCreateRGBProfile(&white, &colorants, curves));
  }
  std::vector<unsigned char> bytes;
  cmsUInt32Number size = 0;
  if (profile) {
    // A description that says where the profile came from, for anyone
    // reading it out of a debugger or a dump.
    const std::string text = "H.273 primaries " + std::to_string(cicp.primaries) + ", transfer " +
                             std::to_string(cicp.transfer);
    cmsMLU* description = cmsMLUalloc(nullptr, 1);
    if (description && cmsMLUsetASCII(description, "en", "US", text.c_str()))
      cmsWriteTag(profile.get(), cmsSigProfileDescriptionTag, description);
    if (description) cmsMLUfree(description);
    if (cmsSaveProfileToMem(profile.get(), nullptr, &size) && size >= 128) {
      bytes.resize(size);
      if (!cmsSaveProfileToMem(profile.get(), bytes.data(), &size)) bytes.clear();
    }
  }
  if (bytes.empty()) {
    problem = "no colour profile can be made from its colour description";
    return {};
  }
  // The header's creation date (six big-endian 16-bit fields at 24) is
  // today's; a fixed one keeps the bytes, and so convertToSrgb's cache key,
  // the same for the same description.
  const uint16_t date[6] = {2000, 1, 1, 0, 0, 0};
  for (int i = 0; i < 6; ++i) {
    bytes[24 + 2 * i] = (unsigned char)(date[i] >> 8);
    bytes[25 + 2 * i] = (unsigned char)(date[i] & 0xFF);
  }
  return bytes;
}

double pqEotf(double signal) {
  const double p = std::pow(clamp01(signal), 1 / kPqM2);
  return kPqPeak * std::pow(std::max(p - kPqC1, 0.0) / (kPqC2 - kPqC3 * p), 1 / kPqM1);
}

double pqInverseEotf(double luminance) {
  const double y = std::pow(clamp01(luminance / kPqPeak), kPqM1);
  return std::pow((kPqC1 + kPqC2 * y) / (1 + kPqC3 * y), kPqM2);
}

double hlgOetf(double scene) {
  const double e = clamp01(scene);
  return e <= 1.0 / 12 ? std::sqrt(3 * e) : kHlgA * std::log(12 * e - kHlgB) + kHlgC;
}

double hlgInverseOetf(double signal) {
  const double e = clamp01(signal);
  return e <= 0.5 ? e * e / 3 : (std::exp((e - kHlgC) / kHlgA) + kHlgB) / 12;
}

std::array<double, 3> hlgOotf(const std::array<double, 3>& scene) {
  double luminance = 0;
  for (int c = 0; c < 3; ++c) luminance += kBt2020Luminance[c] * scene[c];
  const double gain = luminance > 0 ? kHlgPeak * std::pow(luminance, kHlgGamma - 1) : 0;
  return {gain * scene[0], gain * scene[1], gain * scene[2]};
}

double hdrToSdrLight(double light) {
  if (light <= kHdrKnee) return light;
  // Reinhard's x / (1 + x) past the knee, scaled to the room left above it:
  // slope 1 at the knee, approaching 1 as light grows.
  const double room = 1 - kHdrKnee, over = light - kHdrKnee;
  return kHdrKnee + room * over / (room + over);
}

grHdrToneMap::grHdrToneMap(const grCicp& cicp, int bits) {
  bits = std::min(16, std::max(8, bits));
  largest_ = (1u << bits) - 1;
  hlg_ = cicp.transfer == 18;

  const Primaries* primaries = findPrimaries(cicp.primaries);
  if (!primaries || cicp.primaries == 2) primaries = findPrimaries(9);
  const Matrix toXyz = rgbToXyz(*primaries);
  const Matrix toSrgb =
      multiply(inverse(rgbToXyz(*findPrimaries(1))),
               multiply(adaptation(primaries->xy[6], primaries->xy[7], kD65x, kD65y), toXyz));
  for (int c = 0; c < 3; ++c) {
    for (int row = 0; row < 3; ++row) toSrgb_[c][row] = float(toSrgb[row * 3 + c]);
    toSrgb_[c][3] = float(toXyz[3 + c]);  // the source's own luminance row
  }

  light_.resize(largest_ + 1);
  for (uint32_t v = 0; v <= largest_; ++v) {
    const double signal = double(v) / largest_;
    light_[v] = float(hlg_ ? hlgInverseOetf(signal) : pqEotf(signal) / kHdrReferenceWhite);
  }
  if (hlg_) {
    // Display light relative to reference white: the OOTF's
    // peak * Ys^(gamma - 1), over 203, at each step's middle; the last
    // entry is white's own.
    ootfGain_.resize(kGainEntries);
    for (int32_t i = 0; i < kGainEntries; ++i) {
      const int32_t middle =
          ((i + kGainBase) << (23 - kGainStepBits)) | (1 << (22 - kGainStepBits));
      float luminance = 1;
      if (i < kGainEntries - 1) std::memcpy(&luminance, &middle, sizeof luminance);
      ootfGain_[i] =
          float(kHlgPeak / kHdrReferenceWhite * std::pow(double(luminance), kHlgGamma - 1));
    }
  }
  alpha_.resize(largest_ + 1);
  for (uint32_t v = 0; v <= largest_; ++v)
    alpha_[v] = (unsigned char)((v * 255 + largest_ / 2) / largest_);
  encode_.resize(kEncodeSteps + 1);
  for (int i = 0; i <= kEncodeSteps; ++i)
    encode_[i] = (unsigned char)std::lround(255 * srgbEncode(double(i) / kEncodeSteps));
}

namespace {

constexpr float kKnee = float(kHdrKnee), kRoom = 1 - kKnee;

struct Tables {
  uint32_t largest;
  const float* light;
  const std::array<std::array<float, 4>, 3>& m;
  const float* ootfGain;
  const unsigned char* encode;
  const unsigned char* alpha;
};

uint32_t sample(uint16_t v, uint32_t largest) { return std::min<uint32_t>(v, largest); }

int32_t encodeIndex(float v) {
  return int32_t(std::min(std::max(v, 0.0f), 1.0f) * float(kEncodeSteps) + 0.5f);
}

// One pixel: linear light, into sRGB's gamut, under white, encoded. The
// four-at-once loop below does the same operations in the same order, so
// that the two give the same codes.
template <bool Hlg, uint32_t Components>
void mapPixel(const uint16_t* in, unsigned char* out, const Tables& t) {
  const float sr = t.light[sample(in[0], t.largest)], sg = t.light[sample(in[1], t.largest)],
              sb = t.light[sample(in[2], t.largest)];
  const auto& m = t.m;
  float r = m[0][0] * sr + m[1][0] * sg + m[2][0] * sb;
  float g = m[0][1] * sr + m[1][1] * sg + m[2][1] * sb;
  float b = m[0][2] * sr + m[1][2] * sg + m[2][2] * sb;
  if (Hlg) {
    const float gain = t.ootfGain[gainIndex(m[0][3] * sr + m[1][3] * sg + m[2][3] * sb)];
    r *= gain, g *= gain, b *= gain;
  }
  // A negative component: towards grey of the same luminance until it is
  // 0. Mixing with grey keeps the colour's dominant wavelength (its hue)
  // and its luminance, where clipping the component would turn it.
  const float smallest = std::min(std::min(r, g), b);
  if (smallest < 0) {
    const float y = 0.2126f * r + 0.7152f * g + 0.0722f * b;
    const float mix = y > 0 ? y / (y - smallest) : 0;
    r = y + mix * (r - y), g = y + mix * (g - y), b = y + mix * (b - y);
  }
  // The largest component rolled off past the knee (hdrToSdrLight), the
  // others scaled with it so that the hue keeps: kKnee + kRoom * over /
  // (kRoom + over), over L, as one division.
  const float largest = std::max(std::max(r, g), b);
  if (largest > kKnee) {
    const float over = largest - kKnee, sum = kRoom + over;
    const float scale = (kKnee * sum + kRoom * over) / (largest * sum);
    r *= scale, g *= scale, b *= scale;
  }
  out[0] = t.encode[encodeIndex(r)];
  out[1] = t.encode[encodeIndex(g)];
  out[2] = t.encode[encodeIndex(b)];
  if (Components == 4) out[3] = t.alpha[sample(in[3], t.largest)];
}

template <bool Hlg, uint32_t Components>
void mapPixels(const uint16_t* in, uint32_t width, unsigned char* out, const Tables& t) {
  uint32_t x = 0;
#if defined(__SSE2__)
  // Four pixels at once; the gamut and the roll-off are skipped for four
  // that need neither, as most of a picture does.
  constexpr uint32_t C = Components;
  const auto& m = t.m;
  const float* light = t.light;
  const uint32_t top = t.largest;
  const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1), knee = _mm_set1_ps(kKnee),
               room = _mm_set1_ps(kRoom), steps = _mm_set1_ps(float(kEncodeSteps)),
               half = _mm_set1_ps(0.5f);
  const auto column = [&](int c, int row) { return _mm_set1_ps(m[c][row]); };
  const __m128 m00 = column(0, 0), m01 = column(1, 0), m02 = column(2, 0);
  const __m128 m10 = column(0, 1), m11 = column(1, 1), m12 = column(2, 1);
  const __m128 m20 = column(0, 2), m21 = column(1, 2), m22 = column(2, 2);
  const __m128 y0 = column(0, 3), y1 = column(1, 3), y2 = column(2, 3);
  const auto channel = [&](int c) {
    return _mm_setr_ps(light[sample(in[c], top)], light[sample(in[C + c], top)],
                       light[sample(in[2 * C + c], top)], light[sample(in[3 * C + c], top)]);
  };
  const auto sum3 = [](__m128 a, __m128 x, __m128 b, __m128 y, __m128 c, __m128 z) {
    return _mm_add_ps(_mm_add_ps(_mm_mul_ps(a, x), _mm_mul_ps(b, y)), _mm_mul_ps(c, z));
  };
  for (; x + 4 <= width; x += 4, in += 4 * C, out += 4 * C) {
    const __m128 sr = channel(0), sg = channel(1), sb = channel(2);
    __m128 r = sum3(m00, sr, m01, sg, m02, sb);
    __m128 g = sum3(m10, sr, m11, sg, m12, sb);
    __m128 b = sum3(m20, sr, m21, sg, m22, sb);
    if (Hlg) {
      // The gain's index from the luminance's bits, clamped as gainIndex
      // clamps it.
      const __m128 ys =
          _mm_min_ps(_mm_max_ps(sum3(y0, sr, y1, sg, y2, sb), _mm_set1_ps(kGainLeast)), one);
      alignas(16) int32_t index[4];
      _mm_store_si128(reinterpret_cast<__m128i*>(index),
                      _mm_sub_epi32(_mm_srli_epi32(_mm_castps_si128(ys), 23 - kGainStepBits),
                                    _mm_set1_epi32(kGainBase)));
      const __m128 gain = _mm_setr_ps(t.ootfGain[index[0]], t.ootfGain[index[1]],
                                      t.ootfGain[index[2]], t.ootfGain[index[3]]);
      r = _mm_mul_ps(r, gain), g = _mm_mul_ps(g, gain), b = _mm_mul_ps(b, gain);
    }
    // One branch for both steps, taken or not by runs of pixels, rather
    // than two that noisy pixels near the knee would keep mispredicting.
    const __m128 smallest = _mm_min_ps(_mm_min_ps(r, g), b);
    const __m128 negative = _mm_cmplt_ps(smallest, zero);
    if (_mm_movemask_ps(_mm_or_ps(negative, _mm_cmpgt_ps(_mm_max_ps(_mm_max_ps(r, g), b), knee)))) {
      const __m128 y =
          sum3(_mm_set1_ps(0.2126f), r, _mm_set1_ps(0.7152f), g, _mm_set1_ps(0.0722f), b);
      const __m128 mix = _mm_and_ps(_mm_cmpgt_ps(y, zero), _mm_div_ps(y, _mm_sub_ps(y, smallest)));
      const auto towardsGrey = [&](__m128 v) {
        const __m128 mixed = _mm_add_ps(y, _mm_mul_ps(mix, _mm_sub_ps(v, y)));
        return _mm_or_ps(_mm_and_ps(negative, mixed), _mm_andnot_ps(negative, v));
      };
      r = towardsGrey(r), g = towardsGrey(g), b = towardsGrey(b);
      const __m128 largest = _mm_max_ps(_mm_max_ps(r, g), b);
      const __m128 bright = _mm_cmpgt_ps(largest, knee);
      const __m128 over = _mm_sub_ps(largest, knee), sum = _mm_add_ps(room, over);
      const __m128 ratio = _mm_div_ps(_mm_add_ps(_mm_mul_ps(knee, sum), _mm_mul_ps(room, over)),
                                      _mm_mul_ps(largest, sum));
      const __m128 scale = _mm_or_ps(_mm_and_ps(bright, ratio), _mm_andnot_ps(bright, one));
      r = _mm_mul_ps(r, scale), g = _mm_mul_ps(g, scale), b = _mm_mul_ps(b, scale);
    }
    const auto index = [&](__m128 v) {
      v = _mm_min_ps(_mm_max_ps(v, zero), one);
      return _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(v, steps), half));
    };
    // The indices fit 16 bits: packed, then taken out one at a time.
    const __m128i rg = _mm_packs_epi32(index(r), index(g));
    const __m128i bb = _mm_packs_epi32(index(b), index(b));
    const unsigned char* encode = t.encode;
    out[0] = encode[_mm_extract_epi16(rg, 0)];
    out[1] = encode[_mm_extract_epi16(rg, 4)];
    out[2] = encode[_mm_extract_epi16(bb, 0)];
    out[C] = encode[_mm_extract_epi16(rg, 1)];
    out[C + 1] = encode[_mm_extract_epi16(rg, 5)];
    out[C + 2] = encode[_mm_extract_epi16(bb, 1)];
    out[2 * C] = encode[_mm_extract_epi16(rg, 2)];
    out[2 * C + 1] = encode[_mm_extract_epi16(rg, 6)];
    out[2 * C + 2] = encode[_mm_extract_epi16(bb, 2)];
    out[3 * C] = encode[_mm_extract_epi16(rg, 3)];
    out[3 * C + 1] = encode[_mm_extract_epi16(rg, 7)];
    out[3 * C + 2] = encode[_mm_extract_epi16(bb, 3)];
    if (C == 4)
      for (uint32_t i = 0; i < 4; ++i) out[i * C + 3] = t.alpha[sample(in[i * C + 3], top)];
  }
#endif
  for (; x < width; ++x, in += Components, out += Components) mapPixel<Hlg, Components>(in, out, t);
}

}  // namespace

void grHdrToneMap::mapRow(const uint16_t* in, uint32_t width, uint32_t components,
                          unsigned char* out) const {
  const Tables tables = {largest_,         light_.data(),  toSrgb_,
                         ootfGain_.data(), encode_.data(), alpha_.data()};
  if (hlg_ && components == 4)
    mapPixels<true, 4>(in, width, out, tables);
  else if (hlg_)
    mapPixels<true, 3>(in, width, out, tables);
  else if (components == 4)
    mapPixels<false, 4>(in, width, out, tables);
  else
    mapPixels<false, 3>(in, width, out, tables);
}

}  // namespace libgr
