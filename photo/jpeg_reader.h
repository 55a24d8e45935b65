#pragma once
// JPEG reading through libjpeg-turbo's TurboJPEG interface, which reports
// errors by return value (no non-local jump crosses our frames). Everything the
// library decodes is read: baseline, extended, progressive and
// arithmetic-coded frames, restart markers, every chroma subsampling; grey
// pictures stay luminance, YCbCr and RGB-coded ones become RGB, CMYK and
// YCCK ones are handed on as inks (Adobe's inverted convention when an APP14
// marker says so), for the colour profile or the ink formula to turn into
// RGB. The colour profile (APP2 chunks) is put together in sequence order.
#include <cstddef>
#include <string>

#include "photo/decoded_photo.h"

namespace libgr {

// Decodes the JPEG file in `bytes`, at the smallest DCT scale that covers
// what request.cover asks for. False, with the reason in `problem`, for files whose
// headers cannot be read, pictures over request.maxPixels, Huffman-coded files
// declaring more blocks than their bytes can hold, and data the library
// gives up on. A file that ends early or has damaged data in places is
// shown as far as it goes, with out.flaw saying so.
bool decodeJpeg(const grPhotoBytes& file, const grDecodeRequest& request, grDecodedPhoto& out,
                std::string& problem);

}  // namespace libgr
