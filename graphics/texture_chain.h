#pragma once
// grTextureChain2D: a 2-D texture whose every mip level is supplied, each
// defined at its own image's size with its pixels in one call. It is the
// route for pictures whose chain was built on the CPU (mip_chain.h): no GLU
// scaling, no define-then-fill, rectangular levels as GLU would make them.
#include "graphics/image.h"
#include "graphics/texture_image.h"

namespace libgr {

class grTextureChain2D : public grImageTexture<grImage2D, grTexParams2D> {
 public:
  int dimension() const override { return 2; }
  // The parameters, then each entry i as level i (glTexImage2D at the
  // image's size, border 0), in its own pixel-store envelope; entries whose
  // description does not resolve, or that carry no pixels, are skipped. Then
  // the border colour. The filters come first because a driver sizes the
  // texture's storage when level 0 is defined, for the whole chain only if
  // the minification filter mipmaps by then.
  void apply() override;
  // The parameters, then each entry re-sent into its level (glTexSubImage2D
  // at 0, 0).
  void update() override;

 private:
  void send(bool define);
};

}  // namespace libgr
