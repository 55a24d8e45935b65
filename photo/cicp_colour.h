#pragma once
// Colours of HEIF and AVIF pictures described by code points (an nclx box,
// ITU-T H.273) rather than by an ICC profile. SDR pictures get a profile
// made from their code points, for convertToSrgb (colour_profile.h); HDR
// pictures (PQ, HLG) are tone mapped to the sRGB screen here.
//
// The samples reaching this unit are RGB already: libheif turns YCbCr into
// RGB with the description's matrix and range (limited-range samples
// stretched to full range), so neither the matrix nor the range concerns it.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace libgr {

// An nclx box's colour description (ITU-T H.273 code points).
struct grCicp {
  // 1 BT.709/sRGB, 4 BT.470 M, 5 BT.601 625, 6 and 7 BT.601 525, 8 film,
  // 9 BT.2020, 11 DCI-P3, 12 Display P3; 2 not given.
  uint16_t primaries = 2;
  // 13 sRGB; 1, 6, 14, 15 BT.709 and its kin; 4 gamma 2.2; 5 gamma 2.8;
  // 8 linear; 16 PQ; 18 HLG; 2 not given.
  uint16_t transfer = 2;
  uint16_t matrix = 2;  // libheif's concern (see above)
  bool fullRange = true;
};

// PQ (16) or HLG (18): pictures for grHdrToneMap rather than a profile.
bool isHdrTransfer(uint16_t transfer);

// An ICC profile (Little CMS's cmsCreateRGBProfile, saved to memory) for SDR
// RGB pixels of these primaries and this transfer, for convertToSrgb. The
// same description always gives the same bytes (the profile is dated 1
// January 2000, not today), as convertToSrgb caches its transforms by them.
//
// Empty, `problem` untouched, when the pixels are sRGB as they stand:
// BT.709 primaries (or none given) with sRGB's curve, no curve given, or a
// curve of the BT.709 family. None given means sRGB, as for a picture
// without a profile. The BT.709 family (1, 6, 14, 15) are cameras' curves;
// screens show such pictures through sRGB's curve or one within a few codes
// of it, and encoders label sRGB pictures with them, so they are read as
// sRGB's curve whatever the primaries.
//
// Empty, with `problem` set ("its colour description (primaries 22) is not
// one the program knows"), for code points it does not know and for HDR
// transfers. Thread-safe.
std::vector<unsigned char> cicpProfile(const grCicp& cicp, std::string& problem);

// ITU-R BT.2100 transfer functions, in doubles.
// PQ: a signal E' in [0, 1] to display light in cd/m2, [0, 10000]; and back.
double pqEotf(double signal);
double pqInverseEotf(double luminance);
// HLG: scene light E in [0, 1] to a signal E' in [0, 1]; and back.
double hlgOetf(double scene);
double hlgInverseOetf(double signal);
// HLG display light in cd/m2 for a display of nominal peak 1000 cd/m2
// (system gamma 1.2, black at 0) from BT.2020 scene light RGB in [0, 1].
std::array<double, 3> hlgOotf(const std::array<double, 3>& scene);

// HDR reference white (ITU-R BT.2408): diffuse white, what an SDR screen
// shows as its white.
constexpr double kHdrReferenceWhite = 203.0;  // cd/m2

// The tone curve of grHdrToneMap, on light relative to reference white
// (1 = 203 cd/m2) to the SDR screen's (1 = its white): itself up to the
// knee, then Reinhard's curve over the room above it, rising towards 1
// with the knee's slope and never reaching it. The knee, 0.94 (sRGB code
// 248), is as high as keeps reference white within 3 codes of 255 (0.97,
// code 252) while leaving the last codes to highlights; the 8 bits have no
// more room without dimming the picture below reference white.
constexpr double kHdrKnee = 0.94;
double hdrToSdrLight(double light);

// HDR pictures (PQ or HLG, any of the primaries above) to 8-bit sRGB, ITU-R
// BT.2408 style: reference white becomes the screen's white, light below
// the knee keeps its tones, brighter light rolls off (hdrToSdrLight) on
// each pixel's largest component, so that its hue keeps. HLG is displayed
// as on BT.2408's 1000 cd/m2 display, where signal 0.75 is reference white.
// Colours outside sRGB's gamut are brought in towards grey of the same
// luminance, which keeps their hue. Tables built once; mapRow may be called
// from several threads at once.
//
// Primaries not given or unknown are taken as BT.2020, the primaries of
// HDR pictures; a transfer other than HLG is taken as PQ (callers check
// isHdrTransfer first).
class grHdrToneMap {
 public:
  // bits: 10, 12 or 16 significant bits per sample (8 to 16 accepted).
  grHdrToneMap(const grCicp& cicp, int bits);

  // One row: `width` pixels of `components` (3 RGB or 4 RGBA) samples, each
  // in the low `bits` of a uint16_t (larger values are taken as the
  // largest), to the same pixels as 8-bit sRGB; alpha is scaled to 8 bits
  // and not tone mapped.
  void mapRow(const uint16_t* in, uint32_t width, uint32_t components, unsigned char* out) const;

 private:
  bool hlg_ = false;
  uint32_t largest_ = 0;      // the largest sample value, 2^bits - 1
  std::vector<float> light_;  // sample to linear light (PQ: 1 = reference white)
  // Linear source RGB to linear sRGB: columns of four, the fourth lane the
  // source luminance (HLG's OOTF needs it).
  std::array<std::array<float, 4>, 3> toSrgb_{};
  std::vector<float> ootfGain_;        // HLG: by the source luminance's float bits
  std::vector<unsigned char> encode_;  // linear sRGB [0, 1] to 8 bits
  std::vector<unsigned char> alpha_;   // alpha samples to 8 bits
};

}  // namespace libgr
