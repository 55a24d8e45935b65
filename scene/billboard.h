#pragma once
// BillBoard: one photograph (any the photo library reads, docs/photo.md)
// shown as a textured, lit square in the scene. load() reads and converts
// the file once and makes a mipmapped texture of it; render() draws the
// square as one GL_QUADS primitive placed by a frame, texture coordinates
// covering the whole image.
//
// Members are public, in this order, as the application and its tests use
// them. A BillBoard is not copyable.
#include <string>

#include "graphics/drawable.h"
#include "math/frame.h"
#include "math/vector.h"
#include "photo/photo_texture.h"

class BillBoard : public libgr::grObject3D {
 public:
  BillBoard();  // empty, not loaded; no GL call
  // Destroys the photograph's texture (releasing the texture name) before
  // the image and file it was made from.
  ~BillBoard() override = default;
  BillBoard(const BillBoard&) = delete;
  BillBoard& operator=(const BillBoard&) = delete;

  // Reads `path`, converts it and uploads it as a mipmapped texture (under
  // the name of an earlier load, if any), then keeps the placement and the
  // square's extent in its own x-y plane. Needs a current GL context. False,
  // and nothing drawn afterwards, when the file is missing, is not a picture
  // the readers accept, or GL took no image from it; `failure` then says
  // which.
  bool load(const char* path, const libgr::grFrame& placement, const libgr::grRect& extent);

  // load() in two halves, so that photographs can be read side by side:
  // prepare() reads and converts the file with no GL call (any thread, one
  // quad at a time), show() uploads it and keeps the placement (the GL
  // thread). load() is prepare() then show().
  bool prepare(const char* path);
  bool show(const libgr::grFrame& placement, const libgr::grRect& extent);

  // Draws the square when loaded; otherwise issues no GL call at all. Leaves
  // GL_MODELVIEW the current matrix mode and GL_TEXTURE_2D disabled.
  void render() override;

  bool loaded = false;
  // The file, image, parameters, image texture and texture object of the
  // photograph, owned together.
  libgr::grPhotoTexture photo;
  libgr::grFrame frame;
  libgr::grRect rect;
  // Why the last load returned false ("not found", "unsupported compression
  // 7", ...); empty after a load that succeeded.
  std::string failure;
  // What is off in a file that was shown all the same (damaged header fields
  // it does not need, indices past the palette); empty for a sound file.
  std::string flaw;
};
