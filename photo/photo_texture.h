#pragma once
// grPhotoTexture: one photograph file as one mipmapped texture, in one call.
// It owns everything the texture is made from (the file object, the image
// record, the parameters, the image texture and the texture object), so
// nothing borrowed can go away under it; it can be moved, not copied.
//
// Two routes, as the picture's reader chose (grUploadRoute, decoded_photo.h):
//  - the GLU route (BMP pictures): one gluBuild2DMipmaps from the picture as
//    read (GLU scales it to powers of two and builds the chain), then the
//    parameters;
//  - the CPU chain (JPEG and PNG pictures, also inside a BMP): decoded no larger than the
//    texture needs (a JPEG at its smallest covering DCT scale), resampled to
//    the base level GLU would choose from the full picture before they are
//    turned upright and colour-converted, the rest of the chain halved on
//    the CPU (mip_chain.h), and every level sent as it is
//    (grTextureChain2D).
#include <memory>
#include <string>

#include "graphics/image.h"
#include "graphics/texture_chain.h"
#include "graphics/texture_image.h"
#include "graphics/texture_object.h"
#include "photo/photo_file.h"

namespace libgr {

// Filters and wraps of every photograph: trilinear minification, linear
// magnification, repeat; anisotropy 1 (none).
grTexParams2D photographTexParams();

class grPhotoTexture {
 public:
  grPhotoTexture();
  ~grPhotoTexture();
  grPhotoTexture(grPhotoTexture&&) noexcept;
  grPhotoTexture& operator=(grPhotoTexture&&) noexcept;
  grPhotoTexture(const grPhotoTexture&) = delete;
  grPhotoTexture& operator=(const grPhotoTexture&) = delete;

  // Reads `path` (any photograph grPhotoFile reads, turned upright) into a mipmapped texture with
  // photographTexParams(), under the name of an earlier load if there was one. Needs a current GL
  // context. False, not loaded, and the reason in problem() when the file cannot be read or shown,
  // or GL took no base level from it. The same as prepare() then upload().
  bool load(const char* path);

  // The half of load() without GL: reads, decodes and converts the
  // picture and (for the CPU chain) builds its levels, for a GL whose
  // largest texture side is kProvisionalLargestSide. It may run on any
  // thread, for different objects at once (several photographs prepared
  // side by side), but not while this object is used elsewhere. False, and
  // the reason in problem(), when the file cannot be read or shown.
  bool prepare(const char* path);
  // The GL half: sends what prepare() made, on the thread of the current
  // context; levels made for a larger side than this GL takes are made
  // again. False when nothing was prepared or GL took no base level.
  bool upload();

  // The largest texture side prepare() builds for: GL_MAX_TEXTURE_SIZE of
  // Mesa's software renderer and of most desktop GPUs.
  static constexpr uint32_t kProvisionalLargestSide = 16384;

  // JPEG and PNG pictures declaring more pixels than this are refused
  // unread by later loads (100 megapixels unless set).
  void setMaxPixels(uint64_t pixels);

  // Binds the texture to GL_TEXTURE_2D (nothing when not loaded).
  void apply();
  // Re-sends the pixels into the texture's levels (nothing when not loaded).
  void update();

  bool isLoaded() const;
  // Why the last load failed ("not found", "GIF is not supported", ...);
  // empty after a load that succeeded.
  const std::string& problem() const;
  // What is off in a picture that was shown all the same ("the file ends
  // early", a damaged BMP header field, ...); empty for a sound file.
  const std::string& flaw() const;

  const grPhotoFile& file() const;
  // The picture the texture was made from, upright: a GLU-route picture as
  // read; a CPU-chain picture at the base level's size.
  const grImage2D& image() const;
  const grTexParams2D& params() const;
  const grTextureObject& object() const;
  // Whether the last load took the GLU route (one gluBuild2DMipmaps).
  bool builtByGlu() const;

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

}  // namespace libgr
