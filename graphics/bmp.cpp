// BMP file reading and the description of a BMP file as a grImage2D.
#include "graphics/bmp.h"

#include "utilities/byteorder.h"
#include "utilities/file_status.h"

#include <algorithm>
#include <cstdlib>

namespace libgr {

using libutils::intel_byteorder;

const grPixelStore grBmpPixelStore = {false, 4};

namespace {

constexpr uint32_t kFileHeaderBytes = sizeof(tagBITMAPFILEHEADER);
constexpr uint32_t kInfoHeaderBytes = sizeof(tagBITMAPINFOHEADER);
constexpr uint32_t kHeadersBytes = kFileHeaderBytes + kInfoHeaderBytes;

// Rows of a BMP are padded to whole 32-bit words.
uint64_t storedRowBytes(uint32_t width, uint32_t bitsPerPixel) {
  return (uint64_t(width) * bitsPerPixel + 31) / 32 * 4;
}

// How a bit count is shown; `paletted` ones index a colour map.
struct BmpDescription {
  bool paletted = false;
  uint32_t layout = 0;
  uint32_t depthCode = 0;
};

bool describeBitCount(uint32_t bitCount, uint32_t colorsUsed, BmpDescription& out) {
  switch (bitCount) {
    case 1:
      out = {true, grLayoutLuminance, grDepth1};
      return true;
    case 4:  // widened to a byte per pixel: GL has no 4-bit index type
    case 8:
      out = {true, grLayoutLuminance, grDepth8};
      return true;
    case 24:
      out = {false, grLayoutBGR, grDepth8};
      return colorsUsed == 0;
    case 32:
      out = {false, grLayoutBGRA, grDepth8};
      return colorsUsed == 0;
    default:
      return false;
  }
}

void reverseRows(unsigned char* pixels, uint64_t rowBytes, uint32_t rows) {
  for (uint32_t top = 0, bottom = rows - 1; top < bottom; ++top, --bottom) {
    unsigned char* a = pixels + top * rowBytes;
    std::swap_ranges(a, a + rowBytes, pixels + bottom * rowBytes);
  }
}

// One byte per pixel, high nibble first, rows padded to 4 bytes.
void widenNibbles(const unsigned char* source, uint64_t sourceRowBytes, uint32_t width,
                  uint32_t rows, unsigned char* target, uint32_t targetRowBytes) {
  for (uint32_t row = 0; row < rows; ++row) {
    const unsigned char* in = source + row * sourceRowBytes;
    unsigned char* out = target + uint64_t(row) * targetRowBytes;
    for (uint32_t x = 0; x < width; ++x) {
      const unsigned char pair = in[x / 2];
      out[x] = (x % 2 == 0) ? (pair >> 4) : (pair & 0x0F);
    }
    std::fill(out + width, out + targetRowBytes, 0);
  }
}

void fillMap(grColorMaps& maps, uint32_t index, const tagRGBQUAD& color) {
  // 0..255 onto 0..65535.
  *maps.red.at(index) = static_cast<unsigned short>(color.rgbRed * 257);
  *maps.green.at(index) = static_cast<unsigned short>(color.rgbGreen * 257);
  *maps.blue.at(index) = static_cast<unsigned short>(color.rgbBlue * 257);
}

// Maps of 2^bits entries (GL accepts power-of-two maps only): the first
// `used` from the palette, black after them.
void paletteMaps(grColorMaps& maps, const ofsvector<tagRGBQUAD>& palette, uint32_t entries,
                 uint32_t used) {
  maps.setSize(entries);
  const tagRGBQUAD black = {0, 0, 0, 0};
  for (uint32_t j = 0; j < entries; ++j) fillMap(maps, j, j < used ? *palette.at(j) : black);
}

bool isPowerOfTwo(uint32_t n) { return n != 0 && (n & (n - 1)) == 0; }

}  // namespace

bool grBmpFile::read(const char* path) {
  const auto refuse = [this](grBmpError error) {
    problem = {error, 0};
    return false;
  };
  libutils::FileStatus status;
  if (!path || !libutils::fileStatus(path, status)) return refuse(grBmpError::notFound);
  if (!status.regularFile) return refuse(grBmpError::notRegularFile);
  if (status.size < kHeadersBytes) return refuse(grBmpError::tooShort);
  if (status.size > UINT32_MAX) return refuse(grBmpError::tooLarge);

  const uint32_t fileSize = uint32_t(status.size);
  refvector2<unsigned char> buffer;
  if (!buffer.allocate(fileSize, path, 0, 0, false)) return refuse(grBmpError::unreadable);
  // alloc_new reports nothing itself; a file that could not be opened, or
  // shrank since its status was taken, shows as a short read.
  if (buffer.storageAllocator()->bytesRead != fileSize) return refuse(grBmpError::unreadable);
  problem = {};

  fileHeader.view(buffer, 0, 1);
  infoHeader.view(buffer, kFileHeaderBytes, 1);

  const uint32_t offBits = intel_byteorder::host32(fileHeader.at(0)->bfOffBits);
  const uint32_t infoSize = intel_byteorder::host32(infoHeader.at(0)->biSize);
  const uint32_t bitsStart = std::min(offBits, fileSize);
  // Later header versions are longer: the palette follows the whole header.
  const uint64_t declaredPaletteStart =
      infoSize >= kInfoHeaderBytes ? uint64_t(kFileHeaderBytes) + infoSize : kHeadersBytes;
  const uint32_t paletteStart = uint32_t(std::min<uint64_t>(declaredPaletteStart, fileSize));
  const uint32_t paletteEntries =
      bitsStart > paletteStart ? (bitsStart - paletteStart) / sizeof(tagRGBQUAD) : 0;
  palette.view(buffer, paletteStart, paletteEntries);
  bits.view(buffer, bitsStart, ofsvector<unsigned char>::toEnd);
  return true;
}

namespace {

grBmpProblem describeFile(grImage2D& image, grBmpFile& file) {
  using E = grBmpError;
  if (file.fileHeader.empty() || file.infoHeader.empty()) return {E::notRead};
  tagBITMAPINFOHEADER& info = *file.infoHeader.at(0);
  // Shorter (OS/2 core) headers lay their fields out differently.
  const uint32_t infoSize = intel_byteorder::host32(info.biSize);
  if (infoSize < kInfoHeaderBytes) return {E::badHeaderSize, infoSize};
  const uint32_t compression = intel_byteorder::host32(info.biCompression);
  if (compression != 0) return {E::unsupportedCompression, compression};

  const uint32_t bitCount = intel_byteorder::host16(info.biBitCount);
  const uint32_t colorsUsed = intel_byteorder::host32(info.biClrUsed);
  BmpDescription description;
  if (!describeBitCount(bitCount, colorsUsed, description))
    return {E::unsupportedBitCount, bitCount};

  const int32_t width = int32_t(intel_byteorder::host32(uint32_t(info.biWidth)));
  const int32_t storedHeight = int32_t(intel_byteorder::host32(uint32_t(info.biHeight)));
  if (width <= 0 || storedHeight == 0 || storedHeight == INT32_MIN) return {E::badDimensions};
  const bool topDown = storedHeight < 0;
  const uint32_t height = uint32_t(std::abs(storedHeight));

  // The rows the header declares must all be in the file.
  const uint64_t rowBytes = storedRowBytes(uint32_t(width), bitCount);
  if (rowBytes > file.bits.size() / height) return {E::truncatedPixels};

  const bool widen = bitCount == 4;
  const uint32_t widenedRowBytes = (uint32_t(width) + 3u) & ~3u;
  if (widen && uint64_t(widenedRowBytes) * height > UINT32_MAX) return {E::canvasTooLarge};

  // Palette: biClrUsed, or 2^bits when 0, as far as the palette region holds.
  const uint32_t mapEntries = description.paletted ? 1u << bitCount : 0;
  uint32_t paletteUsed = 0;
  if (description.paletted) {
    paletteUsed = colorsUsed == 0 ? mapEntries : std::min(colorsUsed, mapEntries);
    paletteUsed = std::min(paletteUsed, file.palette.size());
    if (colorsUsed != 0 || paletteUsed != 0) description.layout = grLayoutColorIndex;
  }

  // Everything is checked; from here on the image and buffer change.
  if (topDown) {
    reverseRows(file.bits.begin(), rowBytes, height);
    info.biHeight = int32_t(intel_byteorder::host32(height));
  }

  if (widen) {
    ofsvector<unsigned char> widened;
    widened.allocate(widenedRowBytes * height);
    widenNibbles(file.bits.begin(), rowBytes, uint32_t(width), height, widened.begin(),
                 widenedRowBytes);
    image.pixels = widened;
  } else {
    image.pixels = file.bits;
  }

  image.layout = description.layout;
  image.componentClass = grClassUnsigned;
  image.depthCode = description.depthCode;
  image.width = width;
  image.height = int32_t(height);
  image.compressed = false;
  // Rows as stored (4-byte padding, no skips), whatever the image held.
  image.pixelStore = &grBmpPixelStore;
  image.unpack = grUnpack2D{};

  image.colorMaps.reset();
  if (description.paletted) {
    if (paletteUsed != 0) paletteMaps(image.colorMaps, file.palette, mapEntries, paletteUsed);
  } else if (isPowerOfTwo(file.palette.size())) {
    paletteMaps(image.colorMaps, file.palette, file.palette.size(), file.palette.size());
  }
  return {};
}

}  // namespace

bool bmpToImage(grImage2D& image, grBmpFile& file) {
  file.problem = describeFile(image, file);
  return file.problem.error == grBmpError::none;
}

}  // namespace libgr
