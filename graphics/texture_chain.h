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
  // Each entry i as level i (glTexImage2D at the image's size, border 0),
  // in its own pixel-store envelope; entries whose description does not
  // resolve, or that carry no pixels, are skipped. Then the parameters and
  // the border colour.
  void apply() override;
  // Re-sends each entry into its level (glTexSubImage2D at 0, 0).
  void update() override;

 private:
  void send(bool define);
};

}  // namespace libgr
