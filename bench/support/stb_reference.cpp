#include "bench/support/stb_reference.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_ONLY_JPEG
#define STBI_ONLY_PNG
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace benchsupport {

bool loadWithStbImage(const char* path) {
  int width = 0, height = 0, channels = 0;
  stbi_uc* pixels = stbi_load(path, &width, &height, &channels, 0);
  if (!pixels) return false;
  stbi_image_free(pixels);
  return true;
}

bool decodeWithStbImage(const unsigned char* bytes, std::size_t n, long& pixels) {
  int width = 0, height = 0, channels = 0;
  stbi_uc* decoded = stbi_load_from_memory(bytes, int(n), &width, &height, &channels, 0);
  if (!decoded) return false;
  pixels = long(width) * height;
  stbi_image_free(decoded);
  return true;
}

}  // namespace benchsupport
