#pragma once
// Image textures: grTexture1D, grTexture2D, grTexture3D and grTextureCubeMap
// hold one image record per mip level (per level and face for the cube map)
// with upload settings, and send them to the texture bound to their target:
// pixel-format resolution (pixel_format.h), a pixel-store scope per image,
// colour-index maps, and the mipmap branches (automatic generation, GLU
// building, explicit levels), one flow for all four kinds.
//
// Every image is checked before GL sees it: its description must resolve,
// its dimensions be positive and its pixel window hold every byte GL would
// read under the image's unpack settings; other images are skipped. Each
// texture tells whether its last upload sent level 0, and why not.
#include <GL/gl.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "graphics/image.h"
#include "graphics/texture_object.h"

namespace libgr {

// Internal formats that automatic mipmap generation is used for.
bool supportsGenerateMipmap(GLenum internalFormat);

// Largest dimension of an image for the size rule; negative counts as 0.
uint32_t largestDimension(const grImage1D& image);
uint32_t largestDimension(const grImage2D& image);
uint32_t largestDimension(const grImage3D& image);

// Settings and images shared by the four image textures. Images are copied
// in (sharing their pixel storage); params and border colour are borrowed
// and must outlive the texture.
template <typename Image, typename Params>
class grImageTexture : public grTexturableImage {
 public:
  void setCompress(bool on) { compress_ = on; }
  void setMipmapped(bool on) { mipmapped_ = on; }
  void setBorder(bool on) { border_ = on; }
  void setParams(const Params* params) { params_ = params; }
  void setBorderColor(const float* rgba) { borderColor_ = rgba; }

  // Exactly level + 1 entries afterwards; new ones below `level` are fillers
  // without pixels.
  void setImage(const Image& image, unsigned size, unsigned level) {
    images_.resize(std::size_t(level) + 1);
    images_[level] = image;
    takeSize(size, &image, &image + 1);
  }
  // Entries firstLevel.. from the range; the array only grows.
  template <typename Iterator>
  void setImages(Iterator first, Iterator last, unsigned size, unsigned firstLevel) {
    const std::size_t count = std::size_t(std::distance(first, last));
    if (images_.size() < firstLevel + count) images_.resize(firstLevel + count);
    std::size_t entry = firstLevel;
    for (Iterator it = first; it != last; ++it) images_[entry++] = *it;
    takeSize(size, first, last);
  }
  // Drops every entry; the size stays.
  void clearImages() { images_.clear(); }

  const std::vector<Image>& images() const { return images_; }
  uint32_t size() const { return size_; }
  bool compress() const { return compress_; }
  bool mipmapped() const { return mipmapped_; }
  bool border() const { return border_; }
  const Params* params() const { return params_; }
  const float* borderColor() const { return borderColor_; }

  // Whether the last apply() or update() sent an image into level 0 (into
  // all six faces of a cube map), as the upload's own checks tell: GL is not
  // asked, so an image that GL itself refuses counts as sent.
  bool baseLevelSent() const { return baseLevelProblem_.empty(); }
  // Why level 0 got no image, in words; empty when it got one.
  const std::string& baseLevelProblem() const { return baseLevelProblem_; }

 protected:
  void tellBaseLevel(std::string problem) { baseLevelProblem_ = std::move(problem); }

  // A non-zero size replaces the stored one; 0 lets it grow to the largest
  // dimension of the images taken.
  template <typename Iterator>
  void takeSize(unsigned size, Iterator first, Iterator last) {
    if (size != 0) {
      size_ = size;
      return;
    }
    for (Iterator it = first; it != last; ++it) size_ = std::max(size_, largestDimension(*it));
  }

  std::vector<Image> images_;
  uint32_t size_ = 0;
  bool compress_ = false;
  bool mipmapped_ = false;
  bool border_ = false;
  const Params* params_ = nullptr;
  const float* borderColor_ = nullptr;
  std::string baseLevelProblem_ = "nothing has been uploaded yet";
};

class grTexture1D : public grImageTexture<grImage1D, grTexParams1D> {
 public:
  int dimension() const override { return 1; }
  void apply() override;
};

class grTexture2D : public grImageTexture<grImage2D, grTexParams2D> {
 public:
  int dimension() const override { return 2; }
  void apply() override;
  // Re-sends the pixels into the levels apply() defined, to the places
  // apply() sent them (a bordered level that its image covers exactly is
  // defined again with them).
  void update() override;
};

// Needs probeTexture3D to have fetched its entry points; without them the
// images are skipped.
class grTexture3D : public grImageTexture<grImage3D, grTexParams3D> {
 public:
  int dimension() const override { return 3; }
  void apply() override;
};

// Entry 6 * level + face, faces +X, -X, +Y, -Y, +Z, -Z.
class grTextureCubeMap : public grImageTexture<grImage2D, grTexParamsCubeMap> {
 public:
  static constexpr int kFaces = 6;

  int dimension() const override { return 6; }
  void apply() override;

  // Exactly 6 * level + 6 entries afterwards.
  void setFaces(const grImage2D faces[kFaces], unsigned size, unsigned level) {
    images_.resize(std::size_t(kFaces) * level + kFaces);
    for (int face = 0; face < kFaces; ++face)
      images_[std::size_t(kFaces) * level + face] = faces[face];
    takeSize(size, faces, faces + kFaces);
  }
  // Sets of six faces (anything indexable by 0..5) for levels firstLevel..;
  // the array only grows.
  template <typename Iterator>
  void setFaceSets(Iterator first, Iterator last, unsigned size, unsigned firstLevel) {
    const std::size_t sets = std::size_t(std::distance(first, last));
    const std::size_t needed = std::size_t(kFaces) * (firstLevel + sets);
    if (images_.size() < needed) images_.resize(needed);
    std::size_t level = firstLevel;
    for (Iterator it = first; it != last; ++it, ++level) {
      for (int face = 0; face < kFaces; ++face) {
        images_[kFaces * level + face] = (*it)[face];
        if (size == 0) size_ = std::max(size_, largestDimension((*it)[face]));
      }
    }
    if (size != 0) size_ = size;
  }
};

}  // namespace libgr
