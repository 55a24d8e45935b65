#pragma once
// Windows BMP reading: grBmpFile loads a whole file into one shared buffer and
// lays typed windows over its headers, palette and pixel bits; bmpToImage
// describes such a file as a grImage2D that shares the pixel bytes.
//
// Read: uncompressed files of 1, 4, 8, 24 and 32 bits per pixel with an info
// header of at least 40 bytes (later versions too), bottom-up or top-down.
// Not read: compressed (RLE, bit fields, JPEG, PNG), 16-bit, 2-bit, OS/2
// core headers. Every size in a header is checked against the file's bytes.
// A refusal says why (grBmpFile::problem).
#include "graphics/image.h"
#include "graphics/refvector.h"

#include <cstdint>
#include <string>

namespace libgr {

// On-disk layouts, little-endian, no padding. Read fields through
// libutils::intel_byteorder.
#pragma pack(push, 1)
struct tagBITMAPFILEHEADER {
  uint16_t bfType;
  uint32_t bfSize;
  uint16_t bfReserved1;
  uint16_t bfReserved2;
  uint32_t bfOffBits;  // file offset of the pixel bits; where the palette ends
};

struct tagBITMAPINFOHEADER {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;  // negative: rows stored top-down
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};

struct tagRGBQUAD {
  uint8_t rgbBlue;
  uint8_t rgbGreen;
  uint8_t rgbRed;
  uint8_t rgbReserved;
};
#pragma pack(pop)

static_assert(sizeof(tagBITMAPFILEHEADER) == 14, "packed file header");
static_assert(sizeof(tagBITMAPINFOHEADER) == 40, "packed info header");
static_assert(sizeof(tagRGBQUAD) == 4, "packed palette entry");

// Unpack settings matching BMP rows, which are padded to 4 bytes.
extern const grPixelStore grBmpPixelStore;

// Why a file was refused.
enum class grBmpError {
  none,
  notFound,                // no status for the path
  notRegularFile,          // a folder, device, ...
  unreadable,              // exists but could not be read in full
  tooShort,                // shorter than the headers it needs
  tooLarge,                // over 4 GiB
  notRead,                 // bmpToImage on a file object that holds no file
  badHeaderSize,           // detail: the header size
  badDimensions,           // zero or negative width, zero height
  unsupportedCompression,  // detail: the compression code
  unsupportedBitCount,     // detail: the bit count
  embeddedJpeg,
  embeddedPng,
  badMasks,         // colour masks overlapping, not contiguous, all zero or wider than a pixel
  canvasTooLarge,   // more pixels than the reader decodes
  truncatedPixels,  // fewer pixel bytes than the rows the header declares
  rlePastCanvas,    // RLE data puts pixels above the last row
  rleTopDown,       // RLE data with a negative height, which the format does not allow
};

struct grBmpProblem {
  grBmpError error = grBmpError::none;
  uint32_t detail = 0;  // the compression code or bit count the error names
};

// A short lower-case English phrase, e.g. "unsupported compression 7".
std::string bmpProblemText(const grBmpProblem& p);

class grBmpFile {
 public:
  ofsvector<tagBITMAPFILEHEADER> fileHeader;  // offset 0, one entry
  ofsvector<tagBITMAPINFOHEADER> infoHeader;  // offset 14, one entry
  ofsvector<tagRGBQUAD> palette;              // after the info header, up to bfOffBits
  ofsvector<unsigned char> bits;              // bfOffBits to the end of the file
  grBmpProblem problem;  // why the last read() or bmpToImage() refused; none after success

  // Reads the whole file with one read and lays the windows over it. False
  // (windows unchanged) for a missing path, anything but a regular file, a
  // file shorter than both headers or over 4 GiB, or one that cannot be
  // read in full.
  bool read(const char* path);
};

// Describes a file that read() accepted as an image sharing its pixel bytes,
// with colour maps from its palette. False, with `image` unchanged, for
// compressed files, unsupported bit counts or header sizes, 24/32-bit files
// with biClrUsed set, non-positive widths, zero heights, and pixel data
// shorter than the rows the header declares. Top-down files are turned
// upright in the file's buffer (its header then says bottom-up); 4-bit pixels
// are widened into a fresh buffer of one byte per pixel.
bool bmpToImage(grImage2D& image, grBmpFile& file);

}  // namespace libgr
