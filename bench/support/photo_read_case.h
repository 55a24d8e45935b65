#pragma once
// What the photograph decoding benchmarks share: the per-pixel counter, the
// size the program asks its pictures for, and one case reading a whole file
// in memory through grPhotoFile::read every iteration.
#include <benchmark/benchmark.h>

#include "graphics/refvector.h"
#include "photo/decoded_photo.h"

namespace benchsupport {

// Time per pixel of the picture as stored, whatever size it was decoded at.
void perStoredPixel(benchmark::State& state, double pixels);

// What grPhotoTexture::prepare asks for: GLU's base level of the upright
// picture, for the largest side it builds for.
libgr::grPhotoSize preparedBase(libgr::grPhotoSize upright);

// grPhotoFile::read of `bytes` (a whole file; empty: skipped with
// `missing`), with `cover` and `exactSize` as the reader takes them.
void photoFileRead(benchmark::State& state, const libgr::refvector2<unsigned char>& bytes,
                   const char* missing, const libgr::grCoverSize& cover = {},
                   const libgr::grCoverSize& exactSize = {});

}  // namespace benchsupport
