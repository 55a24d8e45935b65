#pragma once
// TIFF pictures through libtiff, read from memory; errors come back by
// return value and libtiff's messages are recorded per file, never printed.
// The first page (directory) only: strips and tiles; uncompressed, LZW,
// Deflate, PackBits, JPEG, CCITT and the rest libtiff decodes; predictors;
// 1 to 16 bits a sample and 32-bit floating point; grey of either
// photometric, palettes, RGB, CMYK, with contiguous or separate planes.
// Alpha comes out straight (associated alpha divided out). The Orientation
// tag and the ICC profile are handed on; CMYK stays inks, for the profile
// or the ink formula to turn into RGB.
#include <string>

#include "photo/decoded_photo.h"

namespace libgr {

// Decodes the first page of the TIFF (or BigTIFF) file in `bytes`. False,
// with the reason in `problem`, for a damaged or cut directory, a picture
// over request.maxPixels or larger than its bytes can hold for its
// compression, a kind of picture not read, and pixel data none of which
// decodes. Pixel data that ends early or is damaged after some rows is
// shown as far as it goes (the rest white, or transparent), with out.flaw
// saying so.
bool decodeTiff(const grPhotoBytes& bytes, const grDecodeRequest& request, grDecodedPhoto& out,
                std::string& problem);

// libtiff's process-wide set-up: its global message handlers, which print
// to stderr, set to none. Run once before pictures are read on several
// threads (preparePhotoReaders).
void setUpTiff();

}  // namespace libgr
