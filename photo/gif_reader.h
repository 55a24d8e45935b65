#pragma once
// GIF pictures (GIF87a and GIF89a) through giflib, which reports errors by
// return value. The first picture of the file is shown, read record by
// record (never the whole animation): on its logical screen, where the
// area outside the frame is transparent (as browsers show a first frame,
// whatever background colour the screen names), with the graphics-control
// block's transparent index as alpha, its local or the global colour
// table, interlaced rows put in their place.
#include "photo/decoded_photo.h"

namespace libgr {

// Decodes the first picture of the GIF file in `bytes`. An opaque picture
// covering its screen becomes RGB, any other RGBA. False, with the reason
// in `problem`, for a damaged file, a frame outside its logical screen, a
// screen over request.maxPixels or larger than its bytes can hold, and a
// file cut before any row; a picture cut inside its data is shown as far
// as it goes, pixels indexing past the colour table black, with out.flaw
// saying so.
bool decodeGif(const grPhotoBytes& bytes, const grDecodeRequest& request, grDecodedPhoto& out,
               std::string& problem);

}  // namespace libgr
