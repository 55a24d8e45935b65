#pragma once
// PNG reading through libspng, which reports errors by return value (no
// non-local jumps). Everything the format holds is read: grey of 1 to 16 bits, RGB of
// 8 and 16, palettes of 1 to 8 bits, grey with alpha, RGBA, Adam7
// interlacing. 16-bit samples become 8-bit; transparency (an alpha channel
// or tRNS) stays as alpha. Gamma and chromaticity chunks are not applied.
#include <cstddef>
#include <string>

#include "photo/decoded_photo.h"

namespace libgr {

// Decodes the PNG file in `bytes`. Opaque grey pictures of up to 8 bits
// become luminance, other opaque ones RGB, pictures with transparency RGBA.
// False, with the reason in `problem`, for a damaged signature or header, a
// picture over request.maxPixels or larger than its compressed bytes can
// hold, a checksum error, and data that fails before any row. Data that
// ends early after some rows is shown as far as it goes (the rest
// transparent black, or black), with out.flaw saying so.
bool decodePng(const grPhotoBytes& file, const grDecodeRequest& request, grDecodedPhoto& out,
               std::string& problem);

}  // namespace libgr
