#pragma once
// WebP pictures through libwebp (lossy VP8, lossless VP8L, alpha) and
// libwebpdemux (the container's chunks; animations), which report errors
// by return value. An animated file shows its first frame. The ICC profile
// of an ICCP chunk is handed on; the orientation of an EXIF chunk is
// applied, as it is for JPEG and PNG. A still picture is decoded at the
// smallest size covering what the caller needs (libwebp scales while it
// decodes, so the full-size picture is never held).
#include "photo/decoded_photo.h"

namespace libgr {

// Decodes the WebP file in `bytes`. Opaque pictures become RGB, pictures
// with alpha RGBA (straight). False, with the reason in `problem`, for a
// damaged file, a picture over request.maxPixels, and a file cut before any
// row; a still picture cut inside its data is shown as far as it goes
// (the rest transparent black, or black), with out.flaw saying so.
bool decodeWebp(const grPhotoBytes& bytes, const grDecodeRequest& request, grDecodedPhoto& out,
                std::string& problem);

}  // namespace libgr
