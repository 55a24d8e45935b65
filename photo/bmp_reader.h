#pragma once
// BMP files as a photograph format: the graphics library's BMP reader
// (grBmpFile, bmpToImage) behind the readers' one contract. Its pictures
// keep the GLU route; a V5 header's embedded colour profile is handed on as
// every reader hands on its profile; the JPEG or PNG a BI_JPEG or BI_PNG
// file carries is handed back for the format table to decode.
#include "photo/decoded_photo.h"

namespace libgr {

bool decodeBmp(const grPhotoBytes& file, const grDecodeRequest& request, grDecodedPhoto& out,
               std::string& problem);

}  // namespace libgr
