#include "bench/support/photo_read_case.h"

#include "graphics/mip_chain.h"
#include "photo/photo_file.h"
#include "photo/photo_texture.h"

namespace benchsupport {

void perStoredPixel(benchmark::State& state, double pixels) {
  state.counters["per_pixel"] = benchmark::Counter(
      pixels, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

libgr::grPhotoSize preparedBase(libgr::grPhotoSize upright) {
  const libgr::grLevelSize base = libgr::gluBaseLevelSize(
      upright.width, upright.height, libgr::grPhotoTexture::kProvisionalLargestSide);
  return {base.width, base.height};
}

void photoFileRead(benchmark::State& state, const libgr::refvector2<unsigned char>& bytes,
                   const char* missing, const libgr::grCoverSize& cover,
                   const libgr::grCoverSize& exactSize) {
  if (bytes.storageBytes() == 0) {
    state.SkipWithError(missing);
    return;
  }
  libgr::grImage2D image;
  libgr::grPhotoFile reader;
  for (auto _ : state) {
    image = libgr::grImage2D();
    if (!reader.read(bytes, image, cover, exactSize)) {
      state.SkipWithError(reader.problem.c_str());
      return;
    }
    benchmark::DoNotOptimize(image.pixels.begin());
  }
  state.counters["image_width"] = image.width;
  state.counters["image_height"] = image.height;
  perStoredPixel(state, double(reader.fullSize.width) * reader.fullSize.height);
}

}  // namespace benchsupport
