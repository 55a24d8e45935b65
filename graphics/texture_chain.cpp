// Supplied levels, each in one call.
#include "graphics/texture_chain.h"

#include "graphics/pixel_source.h"
#include "graphics/pixel_transfer.h"
#include "graphics/texture_object.h"

namespace libgr {

void grTextureChain2D::apply() { send(true); }
void grTextureChain2D::update() { send(false); }

void grTextureChain2D::send(bool define) {
  baseSent_ = false;
  baseProblem_ = images_.empty() ? "the texture has no images" : "";
  if (images_.empty()) return;
  for (std::size_t level = 0; level < images_.size(); ++level) {
    const grImage2D& image = images_[level];
    grPixelFormat f;
    if (image.pixels.empty() || !prepareImage(image, false, f)) {
      if (level == 0)
        baseProblem_ = image.pixels.empty() ? "the base image has no pixels"
                                            : "the base image's description does not resolve";
      continue;
    }
    const grUnpackScope scope(image.pixelStore, image.unpack);
    if (define)
      glTexImage2D(GL_TEXTURE_2D, GLint(level), GLint(f.internalFormat), image.width, image.height,
                   0, f.format, f.type, image.pixels.begin());
    else
      glTexSubImage2D(GL_TEXTURE_2D, GLint(level), 0, 0, image.width, image.height, f.format,
                      f.type, image.pixels.begin());
    if (level == 0) baseSent_ = true;
  }
  applyTexParams(params_);
  applyBorderColor(GL_TEXTURE_2D, borderColor_);
}

}  // namespace libgr
