#pragma once
// The GL calls that put one image into one level, per image kind: define a
// level (1-D, square or cubic) and fill the image into it, send compressed
// data as it stands, build a chain from a base image, and switch
// automatic mipmap generation on around a base level. Every call runs inside
// the image's grUnpackScope; `side` is a level's full width, border included.
// The sending calls return why the image did not go in, in words, and an
// empty string when it was sent (which GL may still refuse: it is not asked).
#include <GL/gl.h>

#include <cstdint>
#include <string>

#include "graphics/image.h"
#include "graphics/pixel_format.h"

namespace libgr {

// Side of a level (square or cubic for 2-D and 3-D): the largest power of
// two within `interior`, halved per level, plus the border on both sides.
GLsizei levelSide(uint32_t interior, GLint border, GLint level);

// Defines a level of `side` and fills the image into it at its corner. A
// border level that the image covers exactly is defined with the pixels at
// once: drivers that drop borders (Mesa) strip them from the data that way,
// where a sub-image at -1 would be refused. A bordered image smaller than
// its level sends only its interior, at 0, 0 with its border skipped by the
// unpack skips: that corner of the level's interior exists on drivers that
// keep borders and on those that strip them, and the image's border could
// not be the level's border anyway. An image larger than its level is not
// sent.
std::string defineAndFill(GLenum target, GLint level, const grPixelFormat& f,
                          const grImage1D& image, const void* data, GLsizei side, GLint border);
std::string defineAndFill(GLenum target, GLint level, const grPixelFormat& f,
                          const grImage2D& image, const void* data, GLsizei side, GLint border);
std::string defineAndFill(GLenum target, GLint level, const grPixelFormat& f,
                          const grImage3D& image, const void* data, GLsizei side, GLint border);

// Level 0 under automatic generation: an image that covers it exactly is
// defined with its pixels at once, since GL regenerates the whole chain on
// every change of level 0 and a define followed by a fill would build it
// twice. Otherwise as defineAndFill.
std::string defineGeneratedBase(GLenum target, const grPixelFormat& f, const grImage1D& image,
                                const void* data, GLsizei side, GLint border);
std::string defineGeneratedBase(GLenum target, const grPixelFormat& f, const grImage2D& image,
                                const void* data, GLsizei side, GLint border);
std::string defineGeneratedBase(GLenum target, const grPixelFormat& f, const grImage3D& image,
                                const void* data, GLsizei side, GLint border);

// Pixels into an existing 2-D level of `side`, where defineAndFill put
// them. A bordered level that the image covers exactly is defined with the
// pixels again, as defineAndFill did: a sub-image at -1 is refused where the
// driver stripped the border, and one at 0, 0 would leave a kept border
// stale.
std::string refillLevel(GLenum target, GLint level, const grPixelFormat& f, const grImage2D& image,
                        const void* data, GLsizei side, GLint border);

// Compressed data as it stands; nothing without compression.
std::string sendCompressed(GLenum target, GLint level, const grPixelFormat& f,
                           const grImage1D& image, GLint border);
std::string sendCompressed(GLenum target, GLint level, const grPixelFormat& f,
                           const grImage2D& image, GLint border);
std::string sendCompressed(GLenum target, GLint level, const grPixelFormat& f,
                           const grImage3D& image, GLint border);
// Compressed data into an existing 2-D level, over what sendCompressed
// covered with the same border (from -border on).
std::string sendCompressedSub(GLenum target, GLint level, const grPixelFormat& f,
                              const grImage2D& image, GLint border);

// The chain of a mipmapped upload without automatic generation, from its
// base image. GLU builds it from 1-D and 2-D images (from the colours GL
// makes of colour indices, since GLU would average the indices); 3-D images
// have no builder, so only their level 0 is defined, with `side` and
// `border`, and filled. `mapColorOn` says whether GL_MAP_COLOR is on.
std::string buildFromBase(GLenum target, grPixelFormat f, const grImage1D& image, GLsizei side,
                          GLint border, bool mapColorOn);
std::string buildFromBase(GLenum target, grPixelFormat f, const grImage2D& image, GLsizei side,
                          GLint border, bool mapColorOn);
std::string buildFromBase(GLenum target, grPixelFormat f, const grImage3D& image, GLsizei side,
                          GLint border, bool mapColorOn);

// Switches automatic mipmap generation on for `target` and off again.
class grMipmapGeneration {
 public:
  explicit grMipmapGeneration(GLenum target);
  ~grMipmapGeneration();
  grMipmapGeneration(const grMipmapGeneration&) = delete;
  grMipmapGeneration& operator=(const grMipmapGeneration&) = delete;

 private:
  GLenum target_;
};

}  // namespace libgr
