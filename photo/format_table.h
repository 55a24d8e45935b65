#pragma once
// The format table's rows as the read pipeline uses them: each format's
// reader, when this build has it.
#include "photo/decoded_photo.h"
#include "photo/photo_format.h"

namespace libgr {

// The reader of `format`; null when this build does not decode it.
grPhotoReader photoReader(grPhotoFormat format);

}  // namespace libgr
