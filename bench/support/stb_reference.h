#pragma once
// stb_image, the general-purpose loader the photograph benchmarks measure the
// library against: buffered reads, then the pixels copied top-down in RGB
// order. Compiled once, with its BMP, JPEG and PNG readers.
#include <cstddef>

namespace benchsupport {

// Loads the file at `path` with stb_image and frees the pixels again; false
// when stb_image cannot read it.
bool loadWithStbImage(const char* path);

// Decodes a whole file already in memory with stb_image (as it is stored:
// top-down, its own channel count) and frees the pixels again; false when
// stb_image cannot read it. `pixels` is width x height of what it decoded.
bool decodeWithStbImage(const unsigned char* bytes, std::size_t n, long& pixels);

}  // namespace benchsupport
