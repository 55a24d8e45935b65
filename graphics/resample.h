#pragma once
// Resampling a picture to another size by area averaging: each output pixel
// the mean of the input it covers, with fractional weights at its edges
// (the box filter GLU scales with), in fixed point on 8-bit samples. No GL
// call: the mip chain's base level and the photograph readers' pictures are
// brought to their size with it.
#include <cstdint>

#include "graphics/image.h"

namespace libgr {

// A picture's size in pixels.
struct grLevelSize {
  uint32_t width = 0;
  uint32_t height = 0;
};

// `source` (8 bits per sample, packed rows, 1 to 4 components) resampled to
// `size` by area averaging into fresh storage, its description kept; `out`
// shares the source when it already has that size. False for an empty
// source, one that is not 8-bit packed, or a zero size.
bool resampleImage(const grImage2D& source, grLevelSize size, grImage2D& out);

// Whether `image` is 8 bits per sample with rows of its width alone (no row
// length, skips, padding or compression): what resampling and halving take.
bool isPacked8BitImage(const grImage2D& image);

// The description of `source` over other pixels of w x h: packed rows, no
// colour maps.
grImage2D imageLike(const grImage2D& source, const refvector2<unsigned char>& pixels, uint32_t w,
                    uint32_t h);

}  // namespace libgr
