#pragma once
// Owners of libheif's handles, for the HEIF reader and its HEVC decoder.
#include <libheif/heif.h>

#include <memory>

namespace libgr {

struct HeifContextRelease {
  void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HeifHandleRelease {
  void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct HeifImageRelease {
  void operator()(heif_image* image) const { heif_image_release(image); }
};
struct HeifNclxRelease {
  void operator()(heif_color_profile_nclx* nclx) const { heif_nclx_color_profile_free(nclx); }
};
struct HeifOptionsRelease {
  void operator()(heif_decoding_options* options) const { heif_decoding_options_free(options); }
};
using HeifContextHandle = std::unique_ptr<heif_context, HeifContextRelease>;
using HeifImageHandle = std::unique_ptr<heif_image_handle, HeifHandleRelease>;
using HeifDecodedImage = std::unique_ptr<heif_image, HeifImageRelease>;
using HeifNclxHandle = std::unique_ptr<heif_color_profile_nclx, HeifNclxRelease>;
using HeifOptionsHandle = std::unique_ptr<heif_decoding_options, HeifOptionsRelease>;

}  // namespace libgr
