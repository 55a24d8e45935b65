#pragma once
// The EXIF orientation of a photograph (tag 0x0112 of IFD0), read with
// libexif. Cameras and phones store the sensor's pixels and say in this tag
// how to turn them upright.
#include <cstddef>

namespace libgr {

// The orientation in an Exif block: `bytes` start with the "Exif\0\0"
// header (as in a JPEG APP1 segment) or directly with the TIFF header "II*\0"
// or "MM\0*" (as in a PNG eXIf chunk). 1 (upright) when the block cannot be
// read, has no orientation tag, or holds a value outside 1..8.
int exifOrientation(const unsigned char* bytes, std::size_t n);

}  // namespace libgr
