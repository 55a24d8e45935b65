// The shared description of decoded pictures.
#include "photo/decoded_photo.h"

#include <algorithm>

namespace libgr {

void describeDecoded(grImage2D& image, const refvector2<unsigned char>& pixels, uint32_t width,
                     uint32_t height, uint32_t layout) {
  image = grImage2D();
  image.pixels.view(pixels, 0, uint32_t(uint64_t(width) * height * grLayoutComponents(layout)));
  image.layout = layout;
  image.componentClass = grClassUnsigned;
  image.depthCode = grDepth8;
  image.pixelStore = &grPackedPixelStore;
  image.width = int32_t(width);
  image.height = int32_t(height);
}

std::string tooManyPixels(uint32_t width, uint32_t height, uint64_t maxPixels) {
  const uint64_t millions = maxPixels / 1'000'000;
  return "picture too large: " + std::to_string(width) + " x " + std::to_string(height) +
         " is over " +
         (millions * 1'000'000 == maxPixels ? std::to_string(millions) + " megapixels"
                                            : std::to_string(maxPixels) + " pixels");
}

uint32_t decodedPixelBytes(const grImage2D& image) { return grLayoutComponents(image.layout); }

bool allocateDecodeBlock(refvector2<unsigned char>& pixels, uint64_t bytes, grPhotoSize stored,
                         const grDecodeRequest& request) {
  return allocatePixelStorage(pixels,
                              std::max(bytes, request.minBlock ? request.minBlock(stored) : 0));
}

}  // namespace libgr
