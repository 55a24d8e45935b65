#pragma once
// How many bytes OpenGL reads from client memory when it unpacks an image,
// following GL's unpacking rules (components and type size or packing,
// GL_BITMAP bits, alignment, row length, skips, image height). Used to keep
// every upload inside the image's pixel window.
#include <GL/gl.h>

#include <cstdint>

namespace libgr {

struct grUnpackExtent {
  int64_t width = 0, height = 1, depth = 1;
  int64_t rowLength = 0;    // 0: width
  int64_t imageHeight = 0;  // 0: height
  int64_t skipPixels = 0, skipRows = 0, skipImages = 0;
  int64_t alignment = 4;  // 1, 2, 4 or 8
};

// Bytes of one pixel group of (format, type), or 0 when GL would refuse the
// pair or it is GL_BITMAP (which counts bits, see unpackedByteCount).
uint32_t pixelGroupBytes(GLenum format, GLenum type);

// Bytes from the data pointer up to and including the last byte GL reads;
// 0 when nothing is read (an empty image). -1 for a pair GL cannot unpack or
// settings GL would refuse (negative values, an alignment not 1/2/4/8).
int64_t unpackedByteCount(GLenum format, GLenum type, const grUnpackExtent& extent);

// Byte distance between successive rows and images, for settings that
// unpackedByteCount accepts (GL_BITMAP rows count bits).
struct grUnpackStrides {
  int64_t row = 0;
  int64_t image = 0;
};
grUnpackStrides unpackStrides(GLenum format, GLenum type, const grUnpackExtent& extent);

}  // namespace libgr
