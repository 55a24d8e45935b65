// A bounded walk over the JPEG header segments.
#include "photo/jpeg_markers.h"

#include <cstring>
#include "utilities/byte_fields.h"

namespace libgr {

namespace {

constexpr unsigned char kSOI = 0xD8, kEOI = 0xD9, kSOS = 0xDA, kTEM = 0x01;
constexpr unsigned char kAPP1 = 0xE1, kAPP2 = 0xE2, kAPP14 = 0xEE;

bool standalone(unsigned char marker) {
  return marker == kSOI || marker == kTEM || (marker >= 0xD0 && marker <= 0xD7);
}

// Start-of-frame markers: C0..CF except DHT (C4), JPG (C8) and DAC (CC).
bool startOfFrame(unsigned char marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool startsWith(const grJpegSegment& s, const char* tag, std::size_t length) {
  return s.size >= length && std::memcmp(s.data, tag, length) == 0;
}

void takeFrame(grJpegMarkers& m, unsigned char marker, const grJpegSegment& s) {
  if (m.frameFound || s.size < 6) return;
  m.frameFound = true;
  m.arithmetic = (marker & 0x08) != 0;
  m.progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
  m.height = libutils::be16(s.data + 1);
  m.width = libutils::be16(s.data + 3);
  m.components = s.data[5];
}

}  // namespace

grJpegMarkers readJpegMarkers(const unsigned char* bytes, std::size_t n) {
  grJpegMarkers m;
  if (!bytes || n < 2 || bytes[0] != 0xFF || bytes[1] != kSOI) return m;
  std::size_t at = 2;
  while (at + 1 < n) {
    if (bytes[at] != 0xFF) {
      ++at;  // stray bytes between segments: decoders skip them too
      continue;
    }
    while (at < n && bytes[at] == 0xFF) ++at;  // fill bytes
    if (at >= n) break;
    const unsigned char marker = bytes[at++];
    if (standalone(marker)) continue;
    if (marker == kEOI) break;
    if (marker == kSOS) {
      m.scanStart = at - 2;
      break;
    }
    if (at + 2 > n) break;
    const std::size_t length = libutils::be16(bytes + at);
    if (length < 2 || at + length > n) break;
    const grJpegSegment segment{bytes + at + 2, length - 2};
    at += length;

    if (marker == kAPP1 && !m.exif.data && startsWith(segment, "Exif\0\0", 6))
      m.exif = segment;
    else if (marker == kAPP2 && startsWith(segment, "ICC_PROFILE\0", 12))
      m.iccChunks.push_back(segment);
    else if (marker == kAPP14 && startsWith(segment, "Adobe", 5)) {
      m.adobe = true;
      if (segment.size >= 12) m.adobeTransform = segment.data[11];
    } else if (startOfFrame(marker))
      takeFrame(m, marker, segment);
  }
  return m;
}

}  // namespace libgr
