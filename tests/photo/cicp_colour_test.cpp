// Colours by code points: BT.2100's functions against their published
// values, profiles made from code points through convertToSrgb, and SDR
// pictures made HDR as BT.2408 maps them, tone mapped back.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "photo/cicp_colour.h"
#include "photo/colour_profile.h"
#include "photo/decoded_photo.h"

using namespace libgr;

namespace {

using Rgb = std::array<double, 3>;
using Matrix = std::array<Rgb, 3>;

constexpr double kPi = 3.14159265358979323846;

// Linear-light conversions: BT.709 to BT.2020 and back as BT.2087 gives
// them; the others worked out from H.273's chromaticities (another white
// Bradford-adapted to D65, as Little CMS adapts whites), to four places.
constexpr Matrix k709To2020 = {
    {{0.6274, 0.3293, 0.0433}, {0.0691, 0.9195, 0.0114}, {0.0164, 0.0880, 0.8956}}};
constexpr Matrix k2020To709 = {
    {{1.6605, -0.5876, -0.0728}, {-0.1246, 1.1329, -0.0083}, {-0.0182, -0.1006, 1.1187}}};
constexpr Matrix kP3ToSrgb = {
    {{1.2249, -0.2249, 0.0}, {-0.0421, 1.0421, 0.0}, {-0.0196, -0.0786, 1.0983}}};
constexpr Matrix kDciP3ToSrgb = {
    {{1.1575, -0.1550, -0.0026}, {-0.0415, 1.0456, -0.0041}, {-0.0181, -0.0786, 1.0966}}};
constexpr Matrix k470MToSrgb = {
    {{1.4862, -0.4036, -0.0826}, {-0.0251, 0.9540, 0.0711}, {-0.0272, -0.0441, 1.0713}}};
constexpr Matrix kIdentity = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
constexpr Matrix kSrgbToXyz = {
    {{0.4124, 0.3576, 0.1805}, {0.2126, 0.7152, 0.0722}, {0.0193, 0.1192, 0.9505}}};

Rgb times(const Matrix& m, const Rgb& v) {
  Rgb out{};
  for (int row = 0; row < 3; ++row)
    out[row] = m[row][0] * v[0] + m[row][1] * v[1] + m[row][2] * v[2];
  return out;
}

double srgbDecode(double code) {
  const double v = code / 255;
  return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}
Rgb srgbDecode(const std::array<int, 3>& c) {
  return {srgbDecode(c[0]), srgbDecode(c[1]), srgbDecode(c[2])};
}

double srgbEncode(double linear) {
  linear = std::min(1.0, std::max(0.0, linear));
  return 255 * (linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055);
}

uint16_t quantise(double signal, int bits) {
  return uint16_t(std::lround(signal * ((1 << bits) - 1)));
}

std::array<int, 3> mapOne(const grHdrToneMap& map, const std::array<uint16_t, 3>& hdr) {
  unsigned char out[3];
  map.mapRow(hdr.data(), 1, 3, out);
  return {out[0], out[1], out[2]};
}

TEST(CicpColour, transferFunctionsGiveTheirPublishedValues) {
  const double white75 = hlgInverseOetf(0.75);
  const struct {
    const char* what;
    double value, expected, tolerance;
  } cases[] = {
      {"PQ 0", pqEotf(0), 0, 1e-9},  // the ends of PQ's range
      {"PQ 1", pqEotf(1), 10000, 1e-6},
      // To four places (BT.2408 rounds the last two to 58 % and 75 %).
      {"PQ of 100 cd/m2", pqInverseEotf(100), 0.5081, 5e-5},
      {"PQ of 203 cd/m2", pqInverseEotf(203), 0.5807, 5e-5},
      {"PQ of 1000 cd/m2", pqInverseEotf(1000), 0.7518, 5e-5},
      // The square root and the log meet at 1/12, signal 0.5; the
      // constants make scene light 1 signal 1.
      {"HLG OETF 1/12", hlgOetf(1.0 / 12), 0.5, 1e-12},
      {"HLG OETF 1", hlgOetf(1), 1.0, 1e-7},
      // BT.2408: HLG reference white, signal 0.75, is 203 cd/m2 on a
      // 1000 cd/m2 display; the OOTF scales by luminance^0.2.
      {"HLG 75% grey", hlgOotf({white75, white75, white75})[1], 203, 0.5},
      {"HLG OOTF", hlgOotf({0.4, 0.2, 0.1})[0],
       1000 * std::pow(0.2627 * 0.4 + 0.6780 * 0.2 + 0.0593 * 0.1, 0.2) * 0.4, 1e-9},
  };
  for (const auto& c : cases) EXPECT_NEAR(c.value, c.expected, c.tolerance) << c.what;
  // Each function and its inverse: PQ's inverse of black is c1^m2, 7.3e-7;
  // HLG's constants, given to eight places, meet to about 5e-9.
  for (double signal = 0; signal <= 1; signal += 0.001) {
    EXPECT_NEAR(pqInverseEotf(pqEotf(signal)), signal, 1e-6) << signal;
    EXPECT_NEAR(hlgOetf(hlgInverseOetf(signal)), signal, 1e-8) << signal;
  }
}

TEST(CicpColour, toneCurveKeepsTonesThenRollsOffSmoothly) {
  for (double light : {0.0, 0.18, 0.9, kHdrKnee}) EXPECT_DOUBLE_EQ(hdrToSdrLight(light), light);
  // Reinhard's x / (1 + x) at x = 1: half the room above the knee.
  EXPECT_NEAR(hdrToSdrLight(1.0), kHdrKnee + (1 - kHdrKnee) / 2, 1e-12);
  const double h = 1e-6;  // slope 1 on both sides of the knee: no corner
  EXPECT_NEAR((hdrToSdrLight(kHdrKnee + h) - hdrToSdrLight(kHdrKnee)) / h, 1.0, 1e-4);
  double previous = kHdrKnee;  // rising to PQ's 10000 cd/m2, never white
  for (double light = kHdrKnee * 1.01; light <= 10000 / kHdrReferenceWhite; light *= 1.01) {
    EXPECT_GT(hdrToSdrLight(light), previous) << light;
    EXPECT_LT(hdrToSdrLight(light), 1.0) << light;
    previous = hdrToSdrLight(light);
  }
}

struct HdrCase {
  uint16_t transfer;
  int bits;
  // How far a channel's light may be off, as a share of the pixel's
  // brightest: the HDR samples' rounding. A 10-bit step is about 1 % of
  // light over SDR's range; BT.2020 to sRGB mixes the channels (R = 1.66 R'
  // - 0.59 G' ...), so a dark channel beside bright ones carries their
  // rounding (14 codes near black). Four times finer at 12 bits.
  double rounding;
};

// An sRGB pixel as an HDR picture holds it: linear, BT.2020, reference
// white at 203 cd/m2; PQ of that, or for HLG the inverse OOTF for a 1000
// cd/m2 display (scene = display / 1000 * (Yd / 1000)^(1/1.2 - 1)), then
// the OETF.
std::array<uint16_t, 3> sdrToHdr(const std::array<int, 3>& srgb, const HdrCase& c) {
  const Rgb display = times(k709To2020, srgbDecode(srgb));
  const double yd = 0.2627 * display[0] + 0.6780 * display[1] + 0.0593 * display[2];
  std::array<uint16_t, 3> out{};
  for (int i = 0; i < 3; ++i) {
    const double fd = kHdrReferenceWhite * std::max(0.0, display[i]);
    const double scene =
        yd > 0 ? fd / 1000 * std::pow(kHdrReferenceWhite * yd / 1000, -1 / 6.0) : 0;
    out[i] = quantise(c.transfer == 16 ? pqInverseEotf(fd) : hlgOetf(scene), c.bits);
  }
  return out;
}

class SdrThroughHdr : public testing::TestWithParam<HdrCase> {};

TEST_P(SdrThroughHdr, comesBackAsTheToneCurveSays) {
  const HdrCase c = GetParam();
  const std::string name = (c.transfer == 16 ? "PQ " : "HLG ") + std::to_string(c.bits);
  const grHdrToneMap map({9, c.transfer, 9, true}, c.bits);
  // Greys below the knee come back as themselves; white at 0.97, 251.6.
  for (int v = 0; v < 256; ++v)
    EXPECT_NEAR(mapOne(map, sdrToHdr({v, v, v}, c))[1], v, srgbDecode(v) <= kHdrKnee ? 1 : 3)
        << name << ", grey " << v;
  EXPECT_EQ(mapOne(map, sdrToHdr({255, 255, 255}, c))[1], 252) << name;
  // A cube of colours: each channel's code is that of its light after the
  // roll-off of the pixel's largest, give or take the samples' rounding.
  int failures = 0;
  for (int r = 0; r < 256; r += 5)
    for (int g = 0; g < 256; g += 5)
      for (int b = 0; b < 256; b += 5) {
        const std::array<int, 3> back = mapOne(map, sdrToHdr({r, g, b}, c));
        const Rgb linear = srgbDecode({r, g, b});
        const double largest = std::max(linear[0], std::max(linear[1], linear[2]));
        const double scale = largest > 0 ? hdrToSdrLight(largest) / largest : 1;
        for (int i = 0; i < 3; ++i) {
          const double light = linear[i] * scale, off = c.rounding * largest * scale;
          const long lowest = std::lround(srgbEncode(light - off));
          const long highest = std::lround(srgbEncode(light + off));
          if ((back[i] < lowest || back[i] > highest) && ++failures <= 5)
            ADD_FAILURE() << name << ": " << r << " " << g << " " << b << " [" << i
                          << "] came back " << back[i] << ", not " << lowest << ".." << highest;
        }
      }
}

INSTANTIATE_TEST_SUITE_P(CicpColour, SdrThroughHdr,
                         testing::Values(HdrCase{16, 10, 0.015}, HdrCase{16, 12, 0.004},
                                         HdrCase{18, 10, 0.015}, HdrCase{18, 12, 0.004}));

TEST(CicpColour, highlightsRollOffToWhiteWithoutSteps) {
  // PQ greys above reference white: round(sRGB of hdrToSdrLight(L / 203));
  // 203 and 220 cd/m2 still below 255, so nothing is clipped.
  const grHdrToneMap pq({9, 16, 9, true}, 12);
  const std::array<int, 2> cases[] = {{100, 186}, {182, 243},  {203, 252},  {220, 253},
                                      {300, 254}, {1000, 255}, {4000, 255}, {10000, 255}};
  for (const auto& c : cases) {
    const uint16_t v = quantise(pqInverseEotf(c[0]), 12);
    EXPECT_NEAR(mapOne(pq, {v, v, v})[1], c[1], 1) << c[0] << " cd/m2";
  }
  // Every 10-bit grey, PQ and HLG: never darker than the one below, never
  // more than two codes brighter (a step is about 1 % of light).
  for (uint16_t transfer : {16, 18}) {
    const grHdrToneMap map({9, transfer, 9, true}, 10);
    int previous = 0;
    for (uint16_t v = 0; v < 1024; ++v) {
      const int now = mapOne(map, {v, v, v})[0];
      EXPECT_TRUE(now >= previous && now <= previous + 2) << transfer << ": " << v;
      previous = now;
    }
  }
}

double hueAngle(const Rgb& linearSrgb) {  // around D65, in degrees
  const Rgb xyz = times(kSrgbToXyz, linearSrgb);
  const double sum = xyz[0] + xyz[1] + xyz[2];
  return std::atan2(xyz[1] / sum - 0.3290, xyz[0] / sum - 0.3127) * 180 / kPi;
}

TEST(CicpColour, outOfGamutColoursKeepTheirHue) {
  // BT.2020 colours sRGB cannot show, brought in towards grey: their
  // dominant wavelength stays (clipping would turn green 14 degrees).
  const grHdrToneMap map({9, 16, 9, true}, 12);
  const Rgb colours[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 1, 1}, {1, 0.2, 0}, {0.2, 1, 0.1}};
  for (double luminance : {kHdrReferenceWhite, 1000.0})
    for (const Rgb& wide : colours) {
      std::array<uint16_t, 3> hdr{};
      for (int i = 0; i < 3; ++i) hdr[i] = quantise(pqInverseEotf(luminance * wide[i]), 12);
      const double turn =
          hueAngle(srgbDecode(mapOne(map, hdr))) - hueAngle(times(k2020To709, wide));
      EXPECT_NEAR(std::remainder(turn, 360), 0, 1.5) << luminance << ": " << wide[1];
    }
}

TEST(CicpColour, hdrPrimariesConvertAsTheirMatrices) {
  // Below the knee and inside sRGB: light through the primaries' matrix.
  const std::pair<uint16_t, const Matrix*> cases[] = {{9, &k2020To709},  {2, &k2020To709},
                                                      {12, &kP3ToSrgb},  {11, &kDciP3ToSrgb},
                                                      {4, &k470MToSrgb}, {1, &kIdentity}};
  for (const auto& [primaries, toSrgb] : cases) {
    const grHdrToneMap map({primaries, 16, 9, true}, 12);
    for (const std::array<int, 3>& colour : {std::array<int, 3>{200, 100, 50}, {120, 160, 110}}) {
      std::array<uint16_t, 3> hdr{};
      for (int i = 0; i < 3; ++i)
        hdr[i] = quantise(pqInverseEotf(kHdrReferenceWhite * srgbDecode(colour[i])), 12);
      const Rgb expected = times(*toSrgb, srgbDecode(colour));
      for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(mapOne(map, hdr)[i], srgbEncode(expected[i]), 1.0) << primaries << " " << i;
    }
  }
}

TEST(CicpColour, rowsMapAsTheirPixelsFromTwoThreads) {
  // A row of varied RGBA pixels, four at a time and the rest one by one, as
  // each pixel alone; alpha scaled (512 of 1023 is 127.6), past 10 bits the
  // largest. Two threads share one map, as two pictures read at once.
  for (uint16_t transfer : {16, 18}) {
    const grHdrToneMap map({9, transfer, 9, true}, 10);
    std::vector<uint16_t> row(4 * 1023);
    for (std::size_t i = 0; i < row.size(); ++i) row[i] = uint16_t((i * 7919) % 1100);
    row[3] = 512, row[7] = 0xFFFF;
    std::vector<unsigned char> alone(row.size());
    for (std::size_t x = 0; x < row.size(); x += 4) map.mapRow(&row[x], 1, 4, &alone[x]);
    EXPECT_EQ(alone[3], 128);
    EXPECT_EQ(alone[7], 255);
    std::vector<unsigned char> first(row.size()), second(row.size());
    std::thread other([&] { map.mapRow(row.data(), 1023, 4, second.data()); });
    map.mapRow(row.data(), 1023, 4, first.data());
    other.join();
    EXPECT_EQ(first, alone) << transfer;
    EXPECT_EQ(second, alone) << transfer;
  }
}

TEST(CicpColour, descriptionsWithoutProfiles) {
  const std::pair<grCicp, std::string> cases[] = {
      {{1, 13, 6, true}, ""},  // sRGB as it stands: also not given, BT.709 curves
      {{2, 2, 2, true}, ""},
      {{1, 1, 1, true}, ""},
      {{2, 6, 6, false}, ""},
      {{1, 15, 9, true}, ""},
      {{22, 13, 6, true}, "its colour description (primaries 22) is not one the program knows"},
      {{9, 17, 9, true}, "its colour description (transfer 17) is not one the program knows"},
      {{9, 16, 9, true},
       "its colour description (transfer 16) is HDR, which is tone mapped rather than converted"},
  };
  for (const auto& [cicp, expected] : cases) {
    std::string problem;
    EXPECT_TRUE(cicpProfile(cicp, problem).empty()) << cicp.primaries << "/" << cicp.transfer;
    EXPECT_EQ(problem, expected);
  }
}

TEST(CicpColour, sameDescriptionSameBytes) {
  std::string problem;
  const std::vector<unsigned char> p3 = cicpProfile({12, 13, 6, true}, problem);
  ASSERT_GE(p3.size(), 128u) << problem;
  EXPECT_EQ(cicpProfile({12, 13, 6, true}, problem), p3);
  EXPECT_NE(cicpProfile({9, 13, 6, true}, problem), p3);
  // Dated 2000-01-01, not by the clock: the same bytes a second later.
  const unsigned char date[12] = {0x07, 0xD0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0};
  EXPECT_TRUE(std::equal(date, date + 12, p3.begin() + 24));
}

TEST(CicpColour, profilesConvertAsTheirMatricesAndCurves) {
  // Linear light by the curve, through the matrix, clipped, encoded: what
  // a relative colorimetric conversion must give, within 8-bit rounding.
  const struct {
    grCicp cicp;
    const Matrix* toSrgb;
    double gamma;  // 0: sRGB's curve
    std::array<int, 3> rgb;
  } cases[] = {
      {{12, 13, 6, true}, &kP3ToSrgb, 0, {255, 0, 0}},  // past sRGB's red: clipped
      {{12, 13, 6, true}, &kP3ToSrgb, 0, {200, 100, 50}},
      {{9, 14, 9, true}, &k2020To709, 0, {60, 180, 90}},
      {{11, 13, 6, true}, &kDciP3ToSrgb, 0, {200, 100, 50}},  // 4 codes of red from P3's
      {{11, 13, 6, true}, &kDciP3ToSrgb, 0, {128, 128, 128}},
      {{4, 13, 6, true}, &k470MToSrgb, 0, {60, 180, 90}},
      {{1, 4, 1, true}, &kIdentity, 2.2, {20, 64, 128}},  // 12, 62, 129: darker shadows
      {{1, 5, 1, true}, &kIdentity, 2.8, {64, 128, 200}},
      {{1, 8, 1, true}, &kIdentity, 1.0, {64, 128, 200}},
  };
  for (const auto& c : cases) {
    std::string problem;
    const std::vector<unsigned char> profile = cicpProfile(c.cicp, problem);
    refvector2<unsigned char> pixels;
    ASSERT_TRUE(allocatePixelStorage(pixels, 3));
    std::copy(c.rgb.begin(), c.rgb.end(), pixels.begin());
    grImage2D image;
    describeDecoded(image, pixels, 1, 1, grLayoutRGB);
    ASSERT_TRUE(convertToSrgb(image, profile, false, false, problem)) << problem;
    Rgb linear = srgbDecode(c.rgb);
    for (int i = 0; i < 3 && c.gamma > 0; ++i) linear[i] = std::pow(c.rgb[i] / 255.0, c.gamma);
    const Rgb expected = times(*c.toSrgb, linear);
    for (int i = 0; i < 3; ++i)
      EXPECT_NEAR(image.pixels.begin()[i], srgbEncode(expected[i]), 2.0)
          << c.cicp.primaries << "/" << c.cicp.transfer << " [" << i << "]";
  }
}

}  // namespace
