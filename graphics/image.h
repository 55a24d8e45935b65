#pragma once
// Image records: one level of pixels with its description, on its way to a
// texture upload.
//
// The pixel bytes are a window onto shared storage (often a file's buffer);
// an image owns a reference to that storage, not a copy. The description is
// three codes (layout, component class, depth code, see pixel_format.h) that
// the upload resolves to an OpenGL internal format, pixel format and type.
#include <cstdint>

#include "graphics/pixel_format.h"
#include "graphics/refvector.h"

namespace libgr {

// Unpack byte swapping and row alignment for an image's upload.
struct grPixelStore {
  bool swapBytes = false;
  int32_t alignment = 4;
};

// Rows packed without padding (alignment 1), no byte swapping.
extern const grPixelStore grPackedPixelStore;

// Unpack settings, applied as the OpenGL unpack parameters of the same names.
struct grUnpack1D {
  int32_t skipPixels = 0;
};
struct grUnpack2D {
  int32_t rowLength = 0;
  int32_t skipPixels = 0;
  int32_t skipRows = 0;
};
struct grUnpack3D {
  int32_t rowLength = 0;
  int32_t imageHeight = 0;
  int32_t skipPixels = 0;
  int32_t skipRows = 0;
  int32_t skipImages = 0;
};

// Fresh storage of `bytes` bytes for `pixels` (uninitialised). False, pixels
// unchanged, when it does not fit a 32-bit byte count.
bool allocatePixelStorage(refvector2<unsigned char>& pixels, uint64_t bytes);

// Index-to-colour maps of `count` 16-bit intensities each. Copies share the
// maps.
struct grColorMaps {
  uint32_t count = 0;
  refvector<unsigned short> red, green, blue;

  void reset();
  // count = n and n entries (undefined values) in each map; true when n != 0.
  bool setSize(uint32_t n);
};

// What every image record starts with: the pixel window, its description
// and its pixel-store settings. Copies share the pixel storage (and, in the
// records, the colour maps) and copy everything else (the pixelStore pointer
// too, not what it points to).
struct grImageBase {
  ofsvector<unsigned char> pixels;
  uint32_t layout = 0;
  uint32_t componentClass = 0;
  uint32_t depthCode = 0;
  const grPixelStore* pixelStore = nullptr;  // null: leave GL's settings as they are
};

struct grImage1D : grImageBase {
  grUnpack1D unpack;
  int32_t width = 0;
  bool compressed = false;  // pixels hold data in a compressed GL format
  grColorMaps colorMaps;
};

struct grImage2D : grImageBase {
  grUnpack2D unpack;
  int32_t width = 0;
  int32_t height = 0;
  bool compressed = false;
  grColorMaps colorMaps;

  // Packed depth codes: their bits per pixel; otherwise components x bits per
  // component (0 for colour index, whose layout has no component count).
  uint32_t bitsPerPixel() const;
  // unpack.rowLength when set, else width.
  int32_t effectiveRowLength() const;
  // bitsPerPixel() x width (0 for a negative width).
  uint64_t rowBits() const;
  // Bytes of one row of effectiveRowLength() pixels, rounded up to a whole
  // byte and then to pixelStore->alignment when there is one.
  uint64_t rowBytes() const;
  // Fresh uninitialised storage of (unpack.skipRows + height) x rowBytes()
  // bytes; false (pixels unchanged) when that is negative or does not fit a
  // 32-bit byte count.
  bool allocatePixels();
  void releasePixels();
  static bool sameDescription(const grImage2D& a, const grImage2D& b);
};

struct grImage3D : grImageBase {
  grUnpack3D unpack;
  int32_t width = 0;
  int32_t height = 0;
  int32_t depth = 0;
  bool compressed = false;
  grColorMaps colorMaps;
};

}  // namespace libgr
