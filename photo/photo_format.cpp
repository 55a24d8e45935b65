// The one table of photograph formats: each row a format's name, the
// library that decodes it, its signature (always built) and its reader
// (null when the format is left out of the build, or has none yet).
// Detection, dispatch and every refusal come from it.
#include "photo/photo_format.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "photo/bmp_reader.h"
#include "photo/format_table.h"
#include "photo/gif_reader.h"
#include "photo/heif_reader.h"
#include "photo/jpeg_reader.h"
#include "photo/jxl_reader.h"
#include "photo/png_reader.h"
#include "photo/tiff_reader.h"
#include "photo/webp_reader.h"
#include "utilities/byte_fields.h"

// BRELVANE_PHOTO_<FORMAT> is 1 for each format the build decodes, 0 for one
// left out (photo/CMakeLists.txt); a reader left out is never named.
#define BRELVANE_IF_BUILT(format, function) BRELVANE_IF_BUILT_(BRELVANE_PHOTO_##format, function)
#define BRELVANE_IF_BUILT_(built, function) BRELVANE_IF_BUILT__(built, function)
#define BRELVANE_IF_BUILT__(built, function) BRELVANE_IF_BUILT_##built(function)
#define BRELVANE_IF_BUILT_1(function) (&function)
#define BRELVANE_IF_BUILT_0(function) (nullptr)

namespace libgr {

namespace {

// The first bytes of a file, for signature tests.
struct Head {
  const unsigned char* bytes;
  std::size_t n;

  template <std::size_t N>
  bool has(const char (&signature)[N], std::size_t at = 0) const {
    return n >= at + N - 1 && std::memcmp(bytes + at, signature, N - 1) == 0;
  }
};

// ISO base media files (HEIF, AVIF) open with a box "ftyp": its major brand
// after the box header, then a minor version, then compatible brands to the
// box's end (a size of 0 means to the end of the file, 1 a 64-bit size after
// the type). Whether any of them is one of `brands`.
bool hasIsoBrand(Head h, std::initializer_list<const char*> brands) {
  if (!h.has("ftyp", 4) || h.n < 12) return false;
  const uint64_t size = libutils::be32(h.bytes);
  std::size_t header = 8;
  uint64_t boxEnd = size == 0 ? h.n : size;
  if (size == 1) {
    if (h.n < 24) return false;
    header = 16;
    boxEnd = uint64_t(libutils::be32(h.bytes + 8)) << 32 | libutils::be32(h.bytes + 12);
  }
  boxEnd = std::min<uint64_t>(boxEnd, h.n);
  const auto named = [&](std::size_t at) {
    for (const char* brand : brands)
      if (std::memcmp(h.bytes + at, brand, 4) == 0) return true;
    return false;
  };
  if (header + 4 <= boxEnd && named(header)) return true;
  for (uint64_t at = header + 8; at + 4 <= boxEnd; at += 4)
    if (named(std::size_t(at))) return true;
  return false;
}

struct Row {
  grPhotoFormat format;
  const char* name;
  const char* library;  // null: the project's own code, or no reader yet
  bool (*matches)(Head);
  grPhotoReader read;
  const char* refusal;  // a reason of its own, for a row that is never read
  void (*setUp)();      // the library's process-wide set-up, if it needs one
};

// Tried in this order: AVIF before HEIF, as an AVIF may name a HEIF brand
// (mif1) first.
const Row kFormats[] = {
    {grPhotoFormat::bmp, "BMP", nullptr, [](Head h) { return h.has("BM"); }, &decodeBmp, nullptr,
     nullptr},
    {grPhotoFormat::jpeg, "JPEG", "libjpeg-turbo", [](Head h) { return h.has("\xFF\xD8\xFF"); },
     BRELVANE_IF_BUILT(JPEG, decodeJpeg), nullptr, nullptr},
    {grPhotoFormat::png, "PNG", "libspng", [](Head h) { return h.has("\x89PNG\r\n\x1A\n"); },
     BRELVANE_IF_BUILT(PNG, decodePng), nullptr, nullptr},
    {grPhotoFormat::damagedPng, "PNG", nullptr, [](Head h) { return h.has("\x89PNG"); }, nullptr,
     "damaged PNG signature (the file was changed by a text-mode transfer)", nullptr},
    {grPhotoFormat::gif, "GIF", "giflib", [](Head h) { return h.has("GIF87a") || h.has("GIF89a"); },
     BRELVANE_IF_BUILT(GIF, decodeGif), nullptr, nullptr},
    {grPhotoFormat::webp, "WebP", "libwebp",
     [](Head h) { return h.has("RIFF") && h.has("WEBP", 8); }, BRELVANE_IF_BUILT(WEBP, decodeWebp),
     nullptr, nullptr},
    {grPhotoFormat::tiff, "TIFF", "libtiff",
     [](Head h) { return h.has("II*\0") || h.has("MM\0*") || h.has("II+\0") || h.has("MM\0+"); },
     BRELVANE_IF_BUILT(TIFF, decodeTiff), nullptr, BRELVANE_IF_BUILT(TIFF, setUpTiff)},
    {grPhotoFormat::jpegXl, "JPEG XL", "libjxl",
     [](Head h) { return h.has("\xFF\x0A") || h.has("\0\0\0\x0CJXL \r\n\x87\n"); },
     BRELVANE_IF_BUILT(JXL, decodeJxl), nullptr, BRELVANE_IF_BUILT(JXL, setUpJxl)},
    {grPhotoFormat::avif, "AVIF", "libheif",
     [](Head h) {
       return hasIsoBrand(h, {"avif", "avis"});
     },
     BRELVANE_IF_BUILT(AVIF, decodeHeif), nullptr, BRELVANE_IF_BUILT(AVIF, setUpHeif)},
    {grPhotoFormat::heif, "HEIF", "libheif",
     [](Head h) {
       return hasIsoBrand(
           h, {"heic", "heix", "heim", "heis", "hevc", "hevx", "mif1", "msf1", "hevm", "hevs"});
     },
     BRELVANE_IF_BUILT(HEIF, decodeHeif), nullptr, BRELVANE_IF_BUILT(HEIF, setUpHeif)},
};

const Row* rowOf(grPhotoFormat format) {
  for (const Row& row : kFormats)
    if (row.format == format) return &row;
  return nullptr;
}

// "not a BMP, JPEG or PNG file": the formats this build decodes.
std::string notAnyReadable() {
  std::string names;
  std::size_t count = 0, listed = 0;
  for (const Row& row : kFormats) count += row.read != nullptr;
  for (const Row& row : kFormats) {
    if (!row.read) continue;
    ++listed;
    names += listed == 1 ? "" : listed == count ? " or " : ", ";
    names += row.name;
  }
  return "not a " + names + " file";
}

}  // namespace

std::vector<grPhotoFormatInfo> photoFormats() {
  std::vector<grPhotoFormatInfo> formats;
  for (const Row& row : kFormats)
    formats.push_back({row.format, row.name, row.library, row.read != nullptr});
  return formats;
}

void preparePhotoReaders() {
  for (const Row& row : kFormats)
    if (row.read && row.setUp) row.setUp();
}

grPhotoFormat sniffPhotoFormat(const unsigned char* bytes, std::size_t n) {
  if (!bytes) return grPhotoFormat::unknown;
  for (const Row& row : kFormats)
    if (row.matches({bytes, n})) return row.format;
  return grPhotoFormat::unknown;
}

grPhotoReader photoReader(grPhotoFormat format) {
  const Row* row = rowOf(format);
  return row ? row->read : nullptr;
}

bool isReadablePhotoFormat(grPhotoFormat format) { return photoReader(format) != nullptr; }

std::string unreadableFormatReason(grPhotoFormat format) {
  const Row* row = rowOf(format);
  if (!row) return notAnyReadable();
  if (row->read) return "";
  if (row->refusal) return row->refusal;
  if (row->library)
    return std::string(row->name) + " is not supported by this build (built without " +
           row->library + ")";
  return std::string(row->name) + " is not supported";
}

const char* photoFormatName(grPhotoFormat format) {
  const Row* row = rowOf(format);
  return row ? row->name : "unknown";
}

}  // namespace libgr
