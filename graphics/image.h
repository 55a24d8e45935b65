#pragma once
// Image records: one level of pixels with its description, on its way to a
// texture upload.
//
// The pixel bytes are a window onto shared storage (often a file's buffer);
// an image owns a reference to that storage, not a copy. The description is
// three codes (layout, component class, depth code) that the upload resolves
// to an OpenGL internal format, pixel format and pixel type.
#include "graphics/refvector.h"

#include <cstdint>

namespace libgr {

// Pixel layout codes: the pixel format each stands for.
using grPixelLayout = uint32_t;
inline constexpr grPixelLayout grLayoutLuminance = 0;        // GL_LUMINANCE
inline constexpr grPixelLayout grLayoutLuminanceAlpha = 1;   // GL_LUMINANCE_ALPHA
inline constexpr grPixelLayout grLayoutIntensity = 2;        // GL_INTENSITY
inline constexpr grPixelLayout grLayoutRed = 3;              // GL_RED
inline constexpr grPixelLayout grLayoutGreen = 4;            // GL_GREEN
inline constexpr grPixelLayout grLayoutBlue = 5;             // GL_BLUE
inline constexpr grPixelLayout grLayoutAlpha = 6;            // GL_ALPHA
inline constexpr grPixelLayout grLayoutRGB = 7;              // GL_RGB
inline constexpr grPixelLayout grLayoutRGBA = 8;             // GL_RGBA
inline constexpr grPixelLayout grLayoutBGR = 9;              // GL_BGR_EXT
inline constexpr grPixelLayout grLayoutBGRA = 10;            // GL_BGRA_EXT
inline constexpr grPixelLayout grLayoutDepthComponent = 11;  // GL_DEPTH_COMPONENT
inline constexpr grPixelLayout grLayoutRGB2 = 12;            // GL_RGB, resolved like grLayoutRGB
inline constexpr grPixelLayout grLayoutRGBA2 = 13;           // GL_RGBA, resolved like grLayoutRGBA
inline constexpr grPixelLayout grLayoutTwoComponent = 14;    // 2 components, no GL format
inline constexpr grPixelLayout grLayoutColorIndex = 15;      // GL_COLOR_INDEX

// Component classes.
inline constexpr uint32_t grClassSigned = 0;
inline constexpr uint32_t grClassUnsigned = 1;
inline constexpr uint32_t grClassFloat = 2;

// Depth codes 0..8: bits per component; 9..14: packed pixels.
inline constexpr uint32_t grDepth1 = 0;
inline constexpr uint32_t grDepth2 = 1;
inline constexpr uint32_t grDepth4 = 2;
inline constexpr uint32_t grDepth8 = 3;
inline constexpr uint32_t grDepth12 = 4;
inline constexpr uint32_t grDepth16 = 5;
inline constexpr uint32_t grDepth24 = 6;
inline constexpr uint32_t grDepth32 = 7;
inline constexpr uint32_t grDepth64 = 8;
inline constexpr uint32_t grPacked332 = 9;       // 8 bits per pixel
inline constexpr uint32_t grPacked565 = 10;      // 16
inline constexpr uint32_t grPacked5551 = 11;     // 16
inline constexpr uint32_t grPacked1010102 = 12;  // 32
inline constexpr uint32_t grPacked62 = 13;       // 8
inline constexpr uint32_t grPacked124 = 14;      // 16

// Components of a layout; 0 for colour index and unknown codes.
uint32_t grLayoutComponents(grPixelLayout layout);
// True for the packed depth codes 9..14.
bool grIsPackedDepth(uint32_t depthCode);
// Bits per component (codes 0..8) or per pixel (packed codes); 0 if unknown.
uint32_t grDepthBits(uint32_t depthCode);

// Unpack byte swapping and row alignment for an image's upload.
struct grPixelStore {
  bool swapBytes = false;
  int32_t alignment = 4;
};

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

// Index-to-colour maps of `count` 16-bit intensities each. Copies share the
// maps.
struct grColorMaps {
  uint32_t count = 0;
  refvector<unsigned short> red, green, blue;

  void reset();
  // count = n and n entries (undefined values) in each map; true when n != 0.
  bool setSize(uint32_t n);
};

// Copies share the pixel storage and colour maps and copy everything else
// (the pixelStore pointer too, not what it points to).
struct grImage1D {
  ofsvector<unsigned char> pixels;
  uint32_t layout = 0;
  uint32_t componentClass = 0;
  uint32_t depthCode = 0;
  const grPixelStore* pixelStore = nullptr;  // null: leave GL's settings as they are
  grUnpack1D unpack;
  int32_t width = 0;
  bool compressed = false;  // pixels hold data in a compressed GL format
  grColorMaps colorMaps;
};

struct grImage2D {
  ofsvector<unsigned char> pixels;
  uint32_t layout = 0;
  uint32_t componentClass = 0;
  uint32_t depthCode = 0;
  const grPixelStore* pixelStore = nullptr;
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

struct grImage3D {
  ofsvector<unsigned char> pixels;
  uint32_t layout = 0;
  uint32_t componentClass = 0;
  uint32_t depthCode = 0;
  const grPixelStore* pixelStore = nullptr;
  grUnpack3D unpack;
  int32_t width = 0;
  int32_t height = 0;
  int32_t depth = 0;
  bool compressed = false;
  grColorMaps colorMaps;
};

}  // namespace libgr
