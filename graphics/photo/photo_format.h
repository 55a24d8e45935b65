#pragma once
// Which picture format a file holds, told from its first bytes (never from
// its name): the formats the readers decode, and the common ones they do not,
// so that a refusal can say what the file really is.
#include <cstddef>
#include <cstdint>

namespace libgr {

enum class grPhotoFormat {
  unknown,     // none of the formats below
  bmp,         // "BM"
  jpeg,        // FF D8 FF
  png,         // the 8-byte PNG signature
  damagedPng,  // "\x89PNG" with the rest of the signature altered (text-mode transfer)
  gif,
  webp,
  heif,  // ISO media file of a HEIF brand (heic, heix, mif1, ...)
  avif,
  tiff,  // "II*\0" or "MM\0*"
};

// The format of a file starting with `bytes` (the first min(n, 16) are read).
grPhotoFormat sniffPhotoFormat(const unsigned char* bytes, std::size_t n);

// Whether the readers decode this format.
bool isReadablePhotoFormat(grPhotoFormat format);

// Why a file of a format the readers do not decode is refused, e.g.
// "GIF is not supported"; empty for the readable formats.
const char* unreadableFormatReason(grPhotoFormat format);

}  // namespace libgr
