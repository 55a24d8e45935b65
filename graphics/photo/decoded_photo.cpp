// The shared description of decoded pictures.
#include "graphics/photo/decoded_photo.h"

namespace libgr {

void describeDecoded(grImage2D& image, const refvector2<unsigned char>& pixels, uint32_t width,
                     uint32_t height, uint32_t layout) {
  image = grImage2D();
  image.pixels.view(pixels, 0, ofsvector<unsigned char>::toEnd);
  image.layout = layout;
  image.componentClass = grClassUnsigned;
  image.depthCode = grDepth8;
  image.pixelStore = &grPackedPixelStore;
  image.width = int32_t(width);
  image.height = int32_t(height);
}

uint32_t decodedPixelBytes(const grImage2D& image) { return grLayoutComponents(image.layout); }

}  // namespace libgr
