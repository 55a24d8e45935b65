#pragma once
// JPEG XL pictures through libjxl, which reports errors by return value:
// lossy (VarDCT) and lossless (modular) files, JPEG files recompressed
// into JPEG XL (decoded to pixels, never rebuilt into the JPEG), samples
// of up to 16 bits or floating point (brought to 8 bits by the decoder),
// alpha (straight), and the first frame of an animation. The decoder
// applies the file's orientation itself; an EXIF box is ignored. Lossy
// pictures are asked for in sRGB; others come with the ICC profile of
// their pixels (none when they are sRGB already).
#include "photo/decoded_photo.h"

namespace libgr {

// Decodes the JPEG XL file (bare codestream or container) in `bytes`.
// Opaque grey pictures become luminance, other opaque ones RGB, pictures
// with alpha RGBA. False, with the reason in `problem`, for damaged data, a
// picture over request.maxPixels, over 65536 pixels a side or of more
// pixels than its bytes can describe, and a file cut before its pixels
// begin; a file cut inside them is shown as far as the decoder gets, with
// out.flaw saying so.
bool decodeJxl(const grPhotoBytes& bytes, const grDecodeRequest& request, grDecodedPhoto& out,
               std::string& problem);

// Keeps libjxl's own complaints off stderr (jxl_quiet.h). Once, before the
// reading threads start.
void setUpJxl();

}  // namespace libgr
