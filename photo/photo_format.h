#pragma once
// Which picture format a file holds, told from its first bytes (never from
// its name), and what this build does with each: the formats the readers
// decode, and the common ones they do not, so that a refusal can say what
// the file really is. One table (photo_format.cpp) drives detection,
// decoding and every refusal; photoFormats() lists it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace libgr {

enum class grPhotoFormat {
  unknown,     // none of the formats below
  bmp,         // "BM"
  jpeg,        // FF D8 FF
  png,         // the 8-byte PNG signature
  damagedPng,  // "\x89PNG" with the rest of the signature altered (text-mode transfer)
  gif,         // "GIF87a", "GIF89a"
  webp,        // "RIFF" .... "WEBP"
  heif,        // ISO media file of a HEIF brand (heic, heix, mif1, ...), major or compatible
  avif,        // ISO media file of an AVIF brand (avif, avis), major or compatible
  tiff,        // "II*\0", "MM\0*"; BigTIFF "II+\0", "MM\0+"
  jpegXl,      // bare codestream FF 0A, or the JPEG XL container
};

// One format as this build knows it.
struct grPhotoFormatInfo {
  grPhotoFormat format = grPhotoFormat::unknown;
  const char* name = "";  // as messages name it: "JPEG", "WebP", "JPEG XL"
  // The library that decodes it ("libjpeg-turbo"); null for the project's
  // own code (BMP) and for formats no reader is written for yet.
  const char* library = nullptr;
  bool built = false;  // this build decodes it
};

// Every format of the table, in the order their signatures are tried.
std::vector<grPhotoFormatInfo> photoFormats();

// Runs the process-wide set-up some format libraries need (libheif's
// initialisation, ...), once per process however often it is called. Call
// it before reading pictures on several threads; the readers call it
// themselves too, so a single-threaded program may leave it out.
void preparePhotoReaders();

// The format of a file starting with `bytes` (n of them; an ISO media file's
// whole ftyp box is read, the others' first 12 bytes at most).
grPhotoFormat sniffPhotoFormat(const unsigned char* bytes, std::size_t n);

// Whether this build decodes this format.
bool isReadablePhotoFormat(grPhotoFormat format);

// Why a file of a format this build does not decode is refused: "GIF is not
// supported", "JPEG is not supported by this build (built without
// libjpeg-turbo)", or for an unknown file "not a BMP, JPEG or PNG file" (the
// formats this build decodes); empty for the formats it decodes.
std::string unreadableFormatReason(grPhotoFormat format);

// The format's name in messages ("JPEG"); "unknown" for unknown.
const char* photoFormatName(grPhotoFormat format);

}  // namespace libgr
