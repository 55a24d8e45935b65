#pragma once
// A look at a HEIF or AVIF file's item table before it is decoded: whether
// an item the primary picture is made of (the picture itself, a grid's
// tiles, its alpha) holds no coded bytes at all. libheif hands such an item
// to the AV1 decoder, which writes a complaint of its own to stderr; the
// reader refuses the file first.
#include <cstddef>
#include <cstdint>

namespace libgr {

// A coded picture spends bytes on every block, however plain: a file (or a
// coded tile) declaring more pixels than this many for each of its bytes (a
// grid repeating one tile, say) is a decompression bomb, not a photograph.
constexpr uint64_t kHeifPixelsPerByte = 16384;

// True when the item table says so, or gives its sizes in fields of a width
// the format does not allow (which libheif reads as no bytes); a table this
// cannot read otherwise (damaged, or of a layout it does not know) is left
// to libheif.
bool primaryItemIsEmpty(const unsigned char* bytes, std::size_t n);

// The largest canvas a grid or an overlay among the primary picture's
// items (at any level of derivation, or its alpha) declares in its own
// data: libheif allocates and fills a canvas of that size, whatever the
// items' ispe say. False when there is none, or none can be read (left to
// libheif).
bool primaryCanvasSize(const unsigned char* bytes, std::size_t n, uint32_t& width,
                       uint32_t& height);

}  // namespace libgr
