// Supplied levels, each in one call.
#include "graphics/texture_chain.h"

#include "graphics/pixel_source.h"
#include "graphics/pixel_transfer.h"
#include "graphics/texture_object.h"

namespace libgr {

void grTextureChain2D::apply() { send(true); }
void grTextureChain2D::update() { send(false); }

void grTextureChain2D::send(bool define) {
  if (images_.empty()) {
    tellBaseLevel("there is no image");
    return;
  }
  // The filters before the first image: a driver sizes the storage when
  // level 0 is defined, and one that sees no mipmapping filter by then (GL's
  // default, GL_NEAREST_MIPMAP_LINEAR, included) keeps one level only, so it
  // would store level 0 twice and copy it once more when the chain is used.
  applyTexParams(params_);
  std::string baseProblem;
  for (std::size_t level = 0; level < images_.size(); ++level) {
    const grImage2D& image = images_[level];
    grPixelFormat f;
    std::string skipped =
        image.pixels.empty() ? "there is no image" : prepareImage(image, false, f);
    if (!skipped.empty()) {
      if (level == 0) baseProblem = skipped;
      continue;
    }
    const grUnpackScope scope(image.pixelStore, image.unpack);
    if (define)
      glTexImage2D(GL_TEXTURE_2D, GLint(level), GLint(f.internalFormat), image.width, image.height,
                   0, f.format, f.type, image.pixels.begin());
    else
      glTexSubImage2D(GL_TEXTURE_2D, GLint(level), 0, 0, image.width, image.height, f.format,
                      f.type, image.pixels.begin());
  }
  tellBaseLevel(baseProblem);
  applyBorderColor(GL_TEXTURE_2D, borderColor_);
}

}  // namespace libgr
