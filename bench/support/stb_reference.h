#pragma once
// stb_image, the general-purpose loader the BMP benchmarks measure the
// library against: buffered reads, then the pixels copied top-down in RGB
// order. Compiled once, with its BMP reader only.

namespace benchsupport {

// Loads the file at `path` with stb_image and frees the pixels again; false
// when stb_image cannot read it.
bool loadWithStbImage(const char* path);

}  // namespace benchsupport
