// Serialises a BmpLayout: file header, info header, masks, palette, pixels.
#include "tools/bmp_writer.h"

#include <fstream>

namespace bmpwriter {
namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kCoreHeaderBytes = 12;
constexpr uint32_t kInfoHeaderBytes = 40;

void put(Bytes& out, size_t at, uint32_t value, int bytes) {
  if (out.size() < at + size_t(bytes)) out.resize(at + size_t(bytes), 0);
  for (int i = 0; i < bytes; ++i) out[at + size_t(i)] = uint8_t(value >> (8 * i));
}

}  // namespace

Bytes encodeBmp(const BmpLayout& layout) {
  const bool core = layout.infoSize == kCoreHeaderBytes;
  Bytes out(kFileHeaderBytes + layout.infoSize, 0);
  out[0] = 'B';
  out[1] = 'M';
  const size_t info = kFileHeaderBytes;
  put(out, info, layout.infoSize, 4);
  if (core) {
    put(out, info + 4, uint32_t(layout.width), 2);
    put(out, info + 6, uint32_t(layout.height), 2);
    put(out, info + 8, layout.planes, 2);
    put(out, info + 10, layout.bitCount, 2);
  } else {
    // Headers shorter than 40 bytes (OS/2 2.x) keep the leading fields that fit.
    Bytes fields;
    put(fields, 0, uint32_t(layout.width), 4);
    put(fields, 4, uint32_t(layout.height), 4);
    put(fields, 8, layout.planes, 2);
    put(fields, 10, layout.bitCount, 2);
    put(fields, 12, layout.compression, 4);
    put(fields, 16, uint32_t(layout.pixels.size()), 4);  // biSizeImage
    put(fields, 20, 2835, 4);                            // 72 dpi
    put(fields, 24, 2835, 4);
    put(fields, 28, layout.colorsUsed, 4);
    for (size_t i = 0; i + 4 < layout.infoSize && i < fields.size(); ++i)
      out[info + 4 + i] = fields[i];
  }
  // Masks sit at offset 54 whether the header holds them or a 40-byte one is
  // followed by them.
  for (size_t i = 0; i < layout.masks.size(); ++i)
    put(out, kFileHeaderBytes + kInfoHeaderBytes + 4 * i, layout.masks[i], 4);
  for (const PaletteEntry& c : layout.palette) {
    out.insert(out.end(), {c.blue, c.green, c.red});
    if (!core) out.push_back(0);
  }
  const uint32_t offBits = layout.offBits >= 0 ? uint32_t(layout.offBits) : uint32_t(out.size());
  if (out.size() < offBits) out.resize(offBits, 0);
  out.insert(out.end(), layout.pixels.begin(), layout.pixels.end());
  put(out, 2, uint32_t(out.size()), 4);
  put(out, 10, offBits, 4);
  return out;
}

bool writeFile(const std::string& path, const Bytes& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return bool(file);
}

}  // namespace bmpwriter
