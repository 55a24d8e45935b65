#pragma once
// RGB profiles of the matrix-shaper kind (Adobe RGB, ProPhoto, Wide Gamut,
// Display P3, sRGB itself: three tone curves and a 3 x 3 matrix) to sRGB,
// with the curves and matrices Little CMS reads from both profiles, applied
// to 8-bit pixels with tables in fixed point: the same arithmetic Little
// CMS uses for such pairs, written for packed pixels alone, several times
// faster. Profiles of other kinds go through Little CMS itself.
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

  static constexpr int32_t kLinearOne = (1 << 15) - 1;  // linear light 1.0

  // What one source channel's 8-bit value adds to the linear sRGB red,
  // green and blue (its linear light times the matrix column; a fourth lane
  // kept zero), 1.0 = kLinearOne << 14. A pixel is three loads and two adds.
  struct alignas(16) Contribution {
    int32_t rgb[4];
  };
  using ContributionTable = std::array<Contribution, 256>;

 private:
  std::array<ContributionTable, 3> contribution_;
  std::vector<unsigned char> encode_;  // linear sRGB (0..kLinearOne) to 8 bits
};

}  // namespace libgr
