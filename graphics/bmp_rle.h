#pragma once
// Run-length encoded BMP pixels (RLE8, RLE4) decoded to one palette index
// per byte: encoded runs, absolute runs with their word padding, and the
// end-of-line, end-of-bitmap and delta escapes.
#include <cstdint>

namespace libgr::bmp {

// Bottom row first, rows of rowBytes; the caller zero-fills it, so pixels
// the stream never sets keep index 0.
struct RleCanvas {
  unsigned char* pixels;
  uint32_t width, height;
  uint64_t rowBytes;
};

// Decodes `size` bytes of stream. Runs past the end of a row are cut at the
// width (writers emit runs over the row padding); data that ends early
// leaves the rest as it is. False when the stream puts a pixel above the
// last row: the file is corrupt. Never reads past `size` bytes nor writes
// outside the canvas.
bool decodeRle(const unsigned char* data, uint32_t size, bool fourBit, const RleCanvas& canvas);

}  // namespace libgr::bmp
