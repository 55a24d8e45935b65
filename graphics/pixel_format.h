#pragma once
// Everything the library knows about pixel formats, in one place: the codes
// an image record describes its pixels with (layout, component class, depth
// code), their resolution to GL's internal format, format and type through
// one table (pixel_format_table.h), component counts and sizes, and how many
// bytes GL reads when it unpacks an image.
#include <GL/gl.h>

#include <cstdint>

namespace libgr {

// Pixel layout codes; pixel_format_table.h gives the GL pixel format and the
// component count of each. grLayoutRGB2 and grLayoutRGBA2 are second codes
// for RGB and RGBA, grLayoutTwoComponent has no GL format (it never
// resolves).
using grPixelLayout = uint32_t;
inline constexpr grPixelLayout grLayoutLuminance = 0, grLayoutLuminanceAlpha = 1,
                               grLayoutIntensity = 2, grLayoutRed = 3, grLayoutGreen = 4,
                               grLayoutBlue = 5, grLayoutAlpha = 6, grLayoutRGB = 7,
                               grLayoutRGBA = 8, grLayoutBGR = 9, grLayoutBGRA = 10,
                               grLayoutDepthComponent = 11, grLayoutRGB2 = 12, grLayoutRGBA2 = 13,
                               grLayoutTwoComponent = 14, grLayoutColorIndex = 15;

// Component classes.
inline constexpr uint32_t grClassSigned = 0, grClassUnsigned = 1, grClassFloat = 2;

// Depth codes 0..8: bits per component.
inline constexpr uint32_t grDepth1 = 0, grDepth2 = 1, grDepth4 = 2, grDepth8 = 3, grDepth12 = 4,
                          grDepth16 = 5, grDepth24 = 6, grDepth32 = 7, grDepth64 = 8;
// Depth codes 9..14: packed pixels of 8 (3-3-2), 16 (5-6-5), 16 (5-5-5-1),
// 32 (10-10-10-2), 8 (luminance 6, alpha 2) and 16 (luminance 12, alpha 4)
// bits.
inline constexpr uint32_t grPacked332 = 9, grPacked565 = 10, grPacked5551 = 11,
                          grPacked1010102 = 12, grPacked62 = 13, grPacked124 = 14;

// Components of a layout; 0 for colour index and unknown codes.
uint32_t grLayoutComponents(grPixelLayout layout);
// True for the packed depth codes 9..14.
bool grIsPackedDepth(uint32_t depthCode);
// Bits per component (codes 0..8) or per pixel (packed codes); 0 if unknown.
uint32_t grDepthBits(uint32_t depthCode);

struct grPixelFormat {
  GLenum internalFormat = 0;
  GLenum format = 0;
  GLenum type = 0;
};

// Resolves an image description through the pixel-format table. Fails for
// a layout outside 0..15 (out untouched) or a class/depth pair without a row
// (out.format set all the same). With `compress`, and compression probed,
// GL_ALPHA becomes GL_COMPRESSED_ALPHA_ARB. Colour-index images resolve to a
// GL_RGB internal format: GL turns indices into colours through the pixel
// maps and keeps no index textures.
bool resolvePixelFormat(grPixelFormat& out, unsigned layout, unsigned componentClass,
                        unsigned depthCode, bool compress);

// Components per pixel of a pixel format (0 for unknown formats).
int componentCount(GLenum format);
// Bytes per component of a pixel type (0 for packed and unknown types).
int componentBytes(GLenum type);
// The unsigned (or floating) type of 1, 2, 4 or 8 bytes; 0 otherwise.
GLenum typeForBytes(int bytes);

// Exactly one bit set.
bool isPowerOfTwo(uint64_t n);
// Largest power of two not above n, looking at bits 0..30; 1 for 0.
uint32_t floorPowerOfTwo(uint32_t n);
// A row alignment GL accepts: 1, 2, 4 or 8.
bool validAlignment(int64_t alignment);

// The extent of one unpacked image and the unpack settings GL applies to it.
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

// Bytes from the data pointer up to and including the last byte GL reads
// (following GL's unpacking rules: components and type size or packing,
// GL_BITMAP bits, alignment, row length, skips, image height); 0 when nothing
// is read (an empty image). -1 for a pair GL cannot unpack or settings GL
// would refuse (negative values, an alignment not 1/2/4/8).
int64_t unpackedByteCount(GLenum format, GLenum type, const grUnpackExtent& extent);

// Byte distance between successive rows and images, for settings that
// unpackedByteCount accepts (GL_BITMAP rows count bits).
struct grUnpackStrides {
  int64_t row = 0;
  int64_t image = 0;
};
grUnpackStrides unpackStrides(GLenum format, GLenum type, const grUnpackExtent& extent);

}  // namespace libgr
