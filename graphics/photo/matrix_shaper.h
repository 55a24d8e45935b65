#pragma once
// RGB profiles of the matrix-shaper kind (Adobe RGB, ProPhoto, Wide Gamut,
// Display P3, sRGB itself: three tone curves and a 3 x 3 matrix) to sRGB,
// with the curves and matrices Little CMS reads from both profiles, applied
// to 8-bit pixels with tables and a fixed-point matrix: the same arithmetic
// Little CMS uses for such pairs, written for packed pixels alone, several
// times faster. Profiles of other kinds go through Little CMS itself.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace libgr {

class grMatrixShaper {
 public:
  // From a profile Little CMS opened (cmsHPROFILE) to sRGB; null when the
  // profile is not an RGB matrix-shaper one.
  static std::unique_ptr<grMatrixShaper> toSrgb(void* profile);

  // Converts `rows` rows of `width` pixels in place; `pixelBytes` is 3 or 4
  // (the fourth byte, alpha, is left alone), `bgr` says the order is blue
  // first; rows start `stride` bytes apart.
  void apply(unsigned char* pixels, uint32_t width, uint32_t rows, std::size_t stride,
             uint32_t pixelBytes, bool bgr) const;

 private:
  static constexpr int kLinearOne = 1 << 15;        // linear light 1.0
  std::array<std::array<int32_t, 256>, 3> linear_;  // per channel, 8-bit value to linear
  std::array<int32_t, 9> matrix_;                   // linear source to linear sRGB, 1.0 = 1 << 14
  std::vector<unsigned char> encode_;               // linear sRGB (0..kLinearOne) to 8 bits
};

}  // namespace libgr
