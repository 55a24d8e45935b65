#pragma once
// Turning a decoded picture upright by its EXIF orientation: the eight ways
// a picture can be stored (1 upright; 2 mirrored; 3 upside down; 4 flipped;
// 5 to 8 the same turned a quarter, so width and height swap).
#include "photo/decoded_photo.h"

namespace libgr {

// The upright size of a picture stored as `stored` with `orientation`.
grPhotoSize uprightSize(grPhotoSize stored, int orientation);

// Replaces `image` (a packed 8-bit image with bottom-up rows) by its upright
// form, in a fresh buffer; orientation 1 (and values outside 2..8) leave it
// as it is.
void applyOrientation(grImage2D& image, int orientation);

}  // namespace libgr
