#pragma once
// HEIF (HEIC from phones) and AVIF pictures through libheif, which decodes
// both (HEVC through libde265, AV1 through dav1d or aom) and reports errors
// by return value. Only the primary image is shown, never a thumbnail or an
// auxiliary item; grid images are put together by libheif, their tiles on
// several threads. libheif applies the container's clean aperture, rotation
// and mirroring (clap, irot, imir, in that order); an EXIF orientation
// inside the file is ignored, as the format requires. Samples over 8 bits
// become 8-bit (PQ and HLG pictures tone-mapped for the screen); alpha is
// kept, straight. The colour description is handed on as an ICC profile:
// the file's own, or one made from its nclx box (cicp_colour.h).
#include "photo/decoded_photo.h"

namespace libgr {

// Decodes the HEIF or AVIF file in `bytes`. False, with the reason in
// `problem`, for a damaged or cut structure, a file without a primary
// image, a picture over request.maxPixels or larger than its bytes can
// hold, and data the decoder gives up on.
bool decodeHeif(const grPhotoBytes& bytes, const grDecodeRequest& request, grDecodedPhoto& out,
                std::string& problem);

// libheif's process-wide set-up; the format table runs it once, before
// pictures are read on several threads (preparePhotoReaders).
void setUpHeif();

}  // namespace libgr
