#pragma once
// Flaws a BMP file may carry and still be shown: header fields the reader
// does not need that are plainly wrong (planes, declared sizes, resolution,
// an unknown header size, a palette size past what the pixels can index),
// and pixels indexing past the palette (shown black). The reader accepts
// such files, as it always has; the flaw lets a program say what is off.
#include "graphics/bmp_header.h"
#include "graphics/image.h"

#include <cstdint>

namespace libgr::bmp {

// The first flaw of an accepted file (`image` is what bmpToImage made of
// it), or none.
grBmpProblem findFlaw(const unsigned char* file, uint32_t size, const Header& header,
                      const grImage2D& image);

}  // namespace libgr::bmp
