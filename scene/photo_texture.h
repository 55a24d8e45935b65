#pragma once
// How a photograph becomes a texture: the one recipe the photograph quads
// use, shared with everything that must behave exactly like them (the
// fuzzer, the corpus replay, the upload benchmark). Needs the graphics
// library only, not GLUT, so headless programs can link it.
#include "graphics/bmp.h"
#include "graphics/image.h"
#include "graphics/texture_image.h"
#include "graphics/texture_object.h"

// Filters and wraps of every photograph: trilinear minification, linear
// magnification, repeat. Anisotropy is never probed by the scene; 1 means none.
libgr::grTexParams2D photographTexParams();

// Makes `texture` a fresh mipmapped texture of `image` as level 0 (sized by
// that image alone) that points at `params`, whose filters and wraps become
// the photograph's. `params` must outlive `texture`.
void describePhotographTexture(libgr::grTexture2D& texture, const libgr::grImage2D& image,
                               libgr::grTexParams2D& params);

// Converts `bitmap` into `image`, describes `texture` from it and uploads it
// through `object` (under the object's earlier name, if any). Needs a current
// GL context. False when the file gives no image or GL took no level 0 from
// it. The caller keeps the four objects, as long as the texture is wanted.
bool uploadPhotograph(libgr::grBmpFile& bitmap, libgr::grImage2D& image,
                      libgr::grTexture2D& texture, libgr::grTexParams2D& params,
                      libgr::grTextureObject& object);
