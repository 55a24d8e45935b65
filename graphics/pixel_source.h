#pragma once
// What GL reads for one image of an upload: the checks that decide whether
// an image is sent at all, and the pixel sources that hand GL (or GLU) data
// it reads correctly. Every source works inside the image's grUnpackScope,
// which puts the caller's pixel-store settings back.
#include <GL/gl.h>

#include <string>
#include <vector>

#include "graphics/image.h"
#include "graphics/pixel_format.h"

namespace libgr {

// An image's dimensions and unpack settings (alignment left at its default).
grUnpackExtent extentOf(const grImage1D& image);
grUnpackExtent extentOf(const grImage2D& image);
grUnpackExtent extentOf(const grImage3D& image);

// Resolves an image and decides whether it is sent: fillers (no pixels),
// descriptions without a row, empty or negative dimensions and windows too
// short for what GL would read are skipped. Compressed images are sent as
// their window stands. Returns why an image is skipped, in words; empty
// when it is sent.
std::string prepareImage(const grImage1D& image, bool compress, grPixelFormat& format);
std::string prepareImage(const grImage2D& image, bool compress, grPixelFormat& format);
std::string prepareImage(const grImage3D& image, bool compress, grPixelFormat& format);

// Where GL reads an image's pixels from, inside the image's envelope.
// Colour indices are first copied into tight rows of one byte per index:
// Mesa unpacks index rows without their alignment padding and without the
// row length (and one-bit rows without their byte boundaries), so padded
// rows, every BMP row whose width is not a multiple of 4, would come out
// skewed. Tight byte rows mean the same to every GL; `f` then names
// GL_UNSIGNED_BYTE.
class grPixelSource {
 public:
  template <typename Image>
  grPixelSource(const Image& image, grPixelFormat& f) : data_(image.pixels.begin()) {
    if (f.format == GL_COLOR_INDEX && !image.compressed) repackIndices(extentOf(image), f);
  }
  grPixelSource(const grPixelSource&) = delete;
  grPixelSource& operator=(const grPixelSource&) = delete;

  const void* data() const { return data_; }

 private:
  void repackIndices(grUnpackExtent extent, grPixelFormat& f);

  std::vector<unsigned char> repacked_;
  const void* data_;
};

// What GLU is given to build a chain from. Two faults of GLU are kept away:
// - It makes its scaled and smaller levels in tight buffers but sends them
//   under the unpack alignment in force: where such a level's rows are not
//   a multiple of it (pictures taller than wide reach one-pixel-wide levels)
//   GL reads rows from the wrong places, past GLU's buffers for one- and
//   two-byte pixels. GLU therefore runs with an alignment of 1, on a tight
//   copy when the image's rows are padded, row-length'd or skipped.
// - Scaling a picture to powers of two, it reads one pixel past the image
//   (seen when only the height is scaled). A picture it will scale is
//   therefore copied with a spare row after it.
class grGluSource {
 public:
  grGluSource(const grPixelFormat& f, const grImage2D& image, const void* data);
  grGluSource(const grGluSource&) = delete;
  grGluSource& operator=(const grGluSource&) = delete;

  const void* data() const { return data_; }

 private:
  std::vector<unsigned char> rows_;
  const void* data_;
};

// The colours GL made of level 0, read back tightly as RGB bytes (with a
// spare row, as GLU reads one pixel past a picture it scales). Empty when GL
// refused the level.
std::vector<unsigned char> readBaseLevelColors(GLenum target, GLsizei& width, GLsizei& height);

}  // namespace libgr
