#pragma once
// A photograph's mip chain built on the CPU: the level sizes GLU's builder
// would choose for it, the base level resampled to that size by area
// averaging (resample.h), and every further level
// halved from the one above, down to 1 x 1. No GL call: the levels are then
// sent as they are (grTextureChain2D).
#include <cstdint>
#include <vector>

#include "graphics/image.h"
#include "graphics/resample.h"

namespace libgr {

// The side GLU rounds a picture side to: the nearest power of two, where a
// side whose two highest bits are both set rounds up (300 -> 256, 200 ->
// 256, 6000 -> 4096, 4000 -> 4096); 0 stays 0.
uint32_t gluNearestPower(uint32_t side);

// The base level GLU's builder makes of a width x height picture: both sides
// rounded by gluNearestPower, then halved together until both are at most
// `maxSide` (GL's largest texture side).
grLevelSize gluBaseLevelSize(uint32_t width, uint32_t height, uint32_t maxSide);

// Levels 0..n of `source` (8 bits per sample, packed rows, any layout of 1
// to 4 components; the description is kept): level 0 of `base` size (sides
// that are powers of two), each
// next one half the last (a side of 1 stays 1), the last 1 x 1. Level 0
// shares the source's pixels when the source already has that size. False,
// with `levels` empty, for an empty source, a source that is not 8-bit
// packed, or a zero size.
bool buildMipChain(const grImage2D& source, grLevelSize base, std::vector<grImage2D>& levels);

}  // namespace libgr
