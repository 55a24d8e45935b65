#pragma once
// Windows BMP reading: grBmpFile loads a whole file into one shared buffer and
// lays typed windows over its headers, palette and pixel bits; bmpToImage
// describes such a file as a grImage2D.
//
// Read: 1, 2, 4, 8, 16, 24 and 32 bits per pixel, bottom-up or top-down;
// RLE8 and RLE4; bit fields (BI_BITFIELDS, BI_ALPHABITFIELDS) of 16 and 32
// bits; the OS/2 core header (12 bytes), OS/2 2.x headers (16 to 64 bytes)
// and Windows headers of 40 bytes and longer (52, 56, V4, V5).
// 1-, 8-, 24- and 32-bit uncompressed pixels stay in the file's buffer (no
// copy); the others are decoded into a fresh buffer.
// Not decoded here: embedded JPEG and PNG (refused as embeddedJpeg and
// embeddedPng: the photograph library decodes those), Huffman and RLE24
// (OS/2), 64-bit pixels.
// Every size in a header is checked before anything is allocated. A refusal
// says why (grBmpFile::problem).
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
  // Flaws of files that are still shown (grBmpFile::flaw).
  unknownHeaderSize,      // detail: the header size
  badPlanes,              // detail: the planes field, which must be 1
  fileSizeMismatch,       // detail: the file size the file header declares, past the end
  imageSizeMismatch,      // detail: the pixel bytes the info header declares, past the end
  implausibleResolution,  // detail: the resolution field, pixels per metre
  paletteSizeField,       // detail: a palette size over what the pixels can index
  indexPastPalette,       // detail: the palette's entries; pixels past them are black
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
  // After the info header (at 54 behind shorter OS/2 headers, whose palettes
  // bmpToImage finds itself), up to bfOffBits.
  ofsvector<tagRGBQUAD> palette;
  ofsvector<unsigned char> bits;  // bfOffBits to the end of the file
  grBmpProblem problem;           // why the last read() or bmpToImage() refused; none after success
  // What is wrong with a file the last bmpToImage() accepted all the same
  // (damaged header fields it does not need, indices past the palette);
  // none for a sound file or after a refusal.
  grBmpProblem flaw;

  // Reads the whole file with one read and lays the windows over it. False
  // (windows unchanged) for a missing path, anything but a regular file, a
  // file shorter than both headers or over 4 GiB, or one that cannot be
  // read in full.
  bool read(const char* path);
  // The same over a whole file that is already in memory (shared, not
  // copied). False (windows unchanged) when it is shorter than both headers.
  bool take(const refvector2<unsigned char>& buffer);
};

// readFileBytes (whole_file.h) in BMP's terms: notFound, notRegularFile,
// tooShort (under `minBytes`), tooLarge (over 4 GiB) or unreadable when it
// cannot; `buffer` is then unchanged.
grBmpError readWholeFile(const char* path, uint32_t minBytes, refvector2<unsigned char>& buffer);

// Describes a file that read() accepted as an image, with colour maps from
// its palette for palette pictures. False, with `image` unchanged and the
// reason in file.problem, for the files listed as not read above, unknown
// header sizes, bad dimensions or masks, pixel data shorter than the rows the
// header declares, an RLE stream that puts pixels above the last row or
// comes top-down, and RLE canvases over 16384 pixels a side or 32 Mi pixels
// in all.
//
// How pixels become the image:
//  - 1 and 8 bits: palette indices as stored (colour index with maps, or
//    luminance without a palette); 24 bits: BGR; 32 bits: BGRA made opaque
//    in the file's buffer (the fourth byte is unused in BI_RGB files).
//    Top-down files are turned upright in the file's buffer (its header then
//    says bottom-up).
//  - 2 and 4 bits, RLE8 and RLE4: one palette index per byte; pixels an RLE
//    stream leaves unset take index 0, runs past a row are cut at the width.
//  - Bit fields and 16-bit BI_RGB (5-5-5): 8-bit BGR, or BGRA when the file
//    declares an alpha mask; alpha that is 0 everywhere means opaque.
// Palettes longer than 2^bits are cut; a true-colour file's palette is not
// used.
bool bmpToImage(grImage2D& image, grBmpFile& file);

}  // namespace libgr
