#pragma once
// The headers of a BMP file in one normalised record: the 12-byte OS/2 core
// header, OS/2 2.x headers of 16 to 64 bytes, and the Windows info header of
// 40 bytes and its longer versions (52, 56, V4 108, V5 124), with the colour
// masks wherever the file keeps them and where the palette and pixels lie.
// Everything is read from the file's bytes with bounds checks; nothing here
// trusts a size in a header.
#include "graphics/bmp.h"
#include "utilities/byte_fields.h"

#include <algorithm>
#include <cstdint>

namespace libgr::bmp {

// biCompression values.
inline constexpr uint32_t kRgb = 0;
inline constexpr uint32_t kRle8 = 1;
inline constexpr uint32_t kRle4 = 2;
inline constexpr uint32_t kBitFields = 3;
inline constexpr uint32_t kJpeg = 4;
inline constexpr uint32_t kPng = 5;
inline constexpr uint32_t kAlphaBitFields = 6;

inline constexpr uint32_t kFileHeaderBytes = 14;
inline constexpr uint32_t kCoreHeaderBytes = 12;
inline constexpr uint32_t kInfoHeaderBytes = 40;

struct Header {
  uint32_t headerSize = 0;
  uint32_t width = 0;
  uint32_t height = 0;  // rows, whatever the order
  bool topDown = false;
  uint32_t bitCount = 0;
  uint32_t compression = kRgb;
  uint32_t colorsUsed = 0;
  // Red, green, blue, alpha; filled for bit-field files only. The alpha mask
  // counts only where the file declares one.
  uint32_t masks[4] = {0, 0, 0, 0};
  bool alphaDeclared = false;
  uint32_t paletteOffset = 0;      // file offset of the first entry
  uint32_t paletteEntryBytes = 4;  // 3 in core headers
  uint32_t paletteEntries = 0;     // whole entries between paletteOffset and the pixels
  uint32_t bitsOffset = 0;         // bfOffBits, at most the file size
};

// Little-endian fields, wherever they stand in the file.
using libutils::le16;
using libutils::le32;

// The palette entries a picture of up to 8 bits uses: biClrUsed, or 2^bits
// when 0, cut to 2^bits and to the entries the file holds.
inline uint32_t usedPaletteEntries(const Header& h) {
  const uint32_t entries = 1u << h.bitCount;
  const uint32_t named = h.colorsUsed == 0 ? entries : std::min(h.colorsUsed, entries);
  return std::min(named, h.paletteEntries);
}

// Reads the headers of a file of `size` bytes. Refuses header sizes it does
// not know, bad dimensions, compressions other than RGB, RLE8/4 and bit
// fields (naming embedded JPEG and PNG), bit counts a compression does not
// take, and masks the file does not hold. The masks themselves are checked by
// the bit-field decoder.
grBmpProblem parseHeader(const unsigned char* file, uint32_t size, Header& out);

}  // namespace libgr::bmp
