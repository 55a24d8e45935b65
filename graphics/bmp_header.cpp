// Header parsing for every BMP header version the reader takes.
#include "graphics/bmp_header.h"

#include <algorithm>

namespace libgr::bmp {
namespace {

using E = grBmpError;

// A field of an info header at `offset` from the header's start, or 0 when
// a short (OS/2 2.x) header ends before it.
uint32_t field32(const unsigned char* info, uint32_t headerSize, uint32_t offset) {
  return offset + 4 <= headerSize ? le32(info + offset) : 0;
}

// OS/2 2.x headers: any size from 16 to 64 bytes is allowed, the fields that
// fit come in the Windows order. 40, 52 and 56 are the Windows sizes; sizes
// above 40 were always read as Windows headers and stay so, apart from 64,
// the full OS/2 2.x header, whose compression codes 3 and 4 mean something else.
bool isOs2v2(uint32_t headerSize) {
  return (headerSize >= 16 && headerSize < kInfoHeaderBytes) || headerSize == 64;
}

bool bitCountFits(uint32_t compression, uint32_t bitCount) {
  switch (compression) {
    case kRgb:
      return bitCount == 1 || bitCount == 2 || bitCount == 4 || bitCount == 8 || bitCount == 16 ||
             bitCount == 24 || bitCount == 32;
    case kRle8:
      return bitCount == 8;
    case kRle4:
      return bitCount == 4;
    default:  // bit fields
      return bitCount == 16 || bitCount == 32;
  }
}

grBmpProblem checkCompression(uint32_t compression, bool os2) {
  if (compression == kJpeg && !os2) return {E::embeddedJpeg, compression};
  if (compression == kPng) return {E::embeddedPng, compression};
  // OS/2 2.x uses 3 and 4 for Huffman 1D and RLE24.
  const bool bitFields = compression == kBitFields || compression == kAlphaBitFields;
  if (compression == kRgb || compression == kRle8 || compression == kRle4 || (bitFields && !os2))
    return {};
  return {E::unsupportedCompression, compression};
}

// Masks sit right after a header shorter than 52 bytes (12 bytes, or 16 with
// alpha) and inside longer ones (at file offset 54 in every version).
grBmpProblem readMasks(const unsigned char* file, uint32_t size, Header& out) {
  const uint64_t maskOffset =
      out.headerSize < 52 ? uint64_t(kFileHeaderBytes) + out.headerSize : 54;
  const uint32_t count = (out.compression == kAlphaBitFields || out.headerSize >= 56) ? 4 : 3;
  const uint64_t masksEnd = maskOffset + 4 * count;
  if (masksEnd > size) return {E::tooShort};
  for (uint32_t i = 0; i < count; ++i) out.masks[i] = le32(file + maskOffset + 4 * i);
  out.alphaDeclared = count == 4;
  out.paletteOffset = uint32_t(std::max<uint64_t>(out.paletteOffset, masksEnd));
  return {};
}

}  // namespace

grBmpProblem parseHeader(const unsigned char* file, uint32_t size, Header& out) {
  if (size < kFileHeaderBytes + kInfoHeaderBytes) return {E::tooShort};
  const unsigned char* info = file + kFileHeaderBytes;
  out = Header{};
  out.headerSize = le32(info);
  const bool core = out.headerSize == kCoreHeaderBytes;
  const bool os2 = isOs2v2(out.headerSize);
  if (!core && !os2 && out.headerSize < kInfoHeaderBytes) return {E::badHeaderSize, out.headerSize};

  if (core) {
    // 16-bit unsigned dimensions, no compression, 3-byte palette entries.
    out.width = le16(info + 4);
    out.height = le16(info + 6);
    out.bitCount = le16(info + 10);
    out.paletteEntryBytes = 3;
    if (out.width == 0 || out.height == 0) return {E::badDimensions};
  } else {
    const int32_t width = int32_t(le32(info + 4));
    const int32_t height = int32_t(le32(info + 8));
    if (width <= 0 || height == 0 || height == INT32_MIN) return {E::badDimensions};
    out.width = uint32_t(width);
    out.topDown = height < 0;
    out.height = uint32_t(out.topDown ? -int64_t(height) : height);
    out.bitCount = le16(info + 14);
    out.compression = field32(info, out.headerSize, 16);
    out.colorsUsed = field32(info, out.headerSize, 32);
  }

  if (grBmpProblem p = checkCompression(out.compression, os2); p.error != E::none) return p;
  if (!bitCountFits(out.compression, out.bitCount)) return {E::unsupportedBitCount, out.bitCount};
  const bool rle = out.compression == kRle8 || out.compression == kRle4;
  if (rle && out.topDown) return {E::rleTopDown};

  out.paletteOffset =
      uint32_t(std::min<uint64_t>(uint64_t(kFileHeaderBytes) + out.headerSize, size));
  if (out.compression == kBitFields || out.compression == kAlphaBitFields) {
    if (grBmpProblem p = readMasks(file, size, out); p.error != E::none) return p;
  }
  out.bitsOffset = std::min(le32(file + 10), size);
  if (out.bitsOffset > out.paletteOffset)
    out.paletteEntries = (out.bitsOffset - out.paletteOffset) / out.paletteEntryBytes;
  return {};
}

}  // namespace libgr::bmp
