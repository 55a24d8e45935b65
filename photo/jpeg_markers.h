#pragma once
// The header segments of a JPEG file that the decoder library does not hand
// out: the Exif block (APP1), the colour profile chunks (APP2), the Adobe
// marker (APP14) and the frame type (SOFn). Walked with every length checked
// against the bytes there are; the walk stops at the first scan.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace libgr {

struct grJpegSegment {
  const unsigned char* data = nullptr;  // the segment's bytes after its length field
  std::size_t size = 0;
};

struct grJpegMarkers {
  grJpegSegment exif;                    // the first APP1 starting "Exif\0\0", header included
  std::vector<grJpegSegment> iccChunks;  // every APP2 starting "ICC_PROFILE\0", in file order
  bool adobe = false;                    // an APP14 "Adobe" segment is present
  int adobeTransform = -1;               // its transform byte (0 none/CMYK, 1 YCbCr, 2 YCCK)
  bool arithmetic = false;               // the frame is arithmetic-coded (SOF9..SOF15)
  bool progressive = false;              // SOF2, SOF6, SOF10 or SOF14
  bool frameFound = false;
  uint32_t width = 0, height = 0;  // from the frame header
  uint32_t components = 0;
  std::size_t scanStart = 0;  // offset of the first SOS marker (0: none found)
};

// Walks the segments of `bytes` (a whole JPEG file, starting with SOI).
grJpegMarkers readJpegMarkers(const unsigned char* bytes, std::size_t n);

}  // namespace libgr
