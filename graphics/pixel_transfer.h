#pragma once
// Pixel transfer state for one image upload: the image's pixel-store and
// unpack parameters, a scope that bounds them to one image, and colour-index
// mapping through the image's colour maps.
#include <GL/gl.h>

#include "graphics/image.h"

namespace libgr {

// Unpack swap bytes, then unpack alignment; nothing for a null store.
void applyPixelStore(const grPixelStore* store);
// The unpack parameters of each record, in the record's field order.
void applyUnpack(const grUnpack1D& unpack);
void applyUnpack(const grUnpack2D& unpack);
void applyUnpack(const grUnpack3D& unpack);

// Pushes the client pixel-store state, applies an image's store and unpack
// settings, and pops on destruction, so that one image's settings never
// leak into the next (nor into the caller's state when something throws).
class grUnpackScope {
 public:
  template <typename Unpack>
  grUnpackScope(const grPixelStore* store, const Unpack& unpack) {
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    applyPixelStore(store);
    applyUnpack(unpack);
  }
  ~grUnpackScope() { glPopClientAttrib(); }
  grUnpackScope(const grUnpackScope&) = delete;
  grUnpackScope& operator=(const grUnpackScope&) = delete;
};

// Turns colour-index mapping on with an image's maps and off again. The
// destructor restores too, so an exception cannot leave the mapping on.
class grColorMapGuard {
 public:
  grColorMapGuard() = default;
  ~grColorMapGuard() { restore(); }
  grColorMapGuard(const grColorMapGuard&) = delete;
  grColorMapGuard& operator=(const grColorMapGuard&) = delete;

  // Loads the I-to-R/G/B maps and switches GL_MAP_COLOR on, when the maps
  // have a power-of-two entry count that each table really holds and GL can
  // take; otherwise does nothing.
  void apply(const grColorMaps& maps);
  // Switches GL_MAP_COLOR off again if apply switched it on.
  void restore();
  bool active() const { return active_; }

 private:
  bool active_ = false;
};

}  // namespace libgr
