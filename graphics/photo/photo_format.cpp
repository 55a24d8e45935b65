// Telling picture formats apart by their signatures.
#include "graphics/photo/photo_format.h"

#include <cstring>

namespace libgr {

namespace {

bool startsWith(const unsigned char* bytes, std::size_t n, const char* signature,
                std::size_t length, std::size_t at = 0) {
  return n >= at + length && std::memcmp(bytes + at, signature, length) == 0;
}

// ISO base media files open with a box "ftyp" whose major brand names the
// kind; HEIF and AVIF share the container.
grPhotoFormat isoMediaFormat(const unsigned char* bytes, std::size_t n) {
  if (!startsWith(bytes, n, "ftyp", 4, 4) || n < 12) return grPhotoFormat::unknown;
  static const char* const heifBrands[] = {"heic", "heix", "heim", "heis", "hevc",
                                           "hevx", "mif1", "msf1", "hevm", "hevs"};
  for (const char* brand : heifBrands)
    if (startsWith(bytes, n, brand, 4, 8)) return grPhotoFormat::heif;
  if (startsWith(bytes, n, "avif", 4, 8) || startsWith(bytes, n, "avis", 4, 8))
    return grPhotoFormat::avif;
  return grPhotoFormat::unknown;
}

}  // namespace

grPhotoFormat sniffPhotoFormat(const unsigned char* bytes, std::size_t n) {
  if (!bytes) return grPhotoFormat::unknown;
  if (startsWith(bytes, n, "BM", 2)) return grPhotoFormat::bmp;
  if (startsWith(bytes, n, "\xFF\xD8\xFF", 3)) return grPhotoFormat::jpeg;
  if (startsWith(bytes, n, "\x89PNG\r\n\x1A\n", 8)) return grPhotoFormat::png;
  if (startsWith(bytes, n, "\x89PNG", 4)) return grPhotoFormat::damagedPng;
  if (startsWith(bytes, n, "GIF87a", 6) || startsWith(bytes, n, "GIF89a", 6))
    return grPhotoFormat::gif;
  if (startsWith(bytes, n, "RIFF", 4) && startsWith(bytes, n, "WEBP", 4, 8))
    return grPhotoFormat::webp;
  if (startsWith(bytes, n, "II*\0", 4) || startsWith(bytes, n, "MM\0*", 4))
    return grPhotoFormat::tiff;
  return isoMediaFormat(bytes, n);
}

bool isReadablePhotoFormat(grPhotoFormat format) {
  return format == grPhotoFormat::bmp || format == grPhotoFormat::jpeg ||
         format == grPhotoFormat::png;
}

const char* unreadableFormatReason(grPhotoFormat format) {
  switch (format) {
    case grPhotoFormat::bmp:
    case grPhotoFormat::jpeg:
    case grPhotoFormat::png:
      return "";
    case grPhotoFormat::damagedPng:
      return "damaged PNG signature (the file was changed by a text-mode transfer)";
    case grPhotoFormat::gif:
      return "GIF is not supported";
    case grPhotoFormat::webp:
      return "WebP is not supported";
    case grPhotoFormat::heif:
      return "HEIF is not supported";
    case grPhotoFormat::avif:
      return "AVIF is not supported";
    case grPhotoFormat::tiff:
      return "TIFF is not supported";
    case grPhotoFormat::unknown:
      break;
  }
  return "not a BMP, JPEG or PNG file";
}

}  // namespace libgr
