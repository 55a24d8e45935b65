#pragma once
// Hand-built image records for texture tests.
#include <cstring>
#include <vector>

#include "graphics/image.h"

namespace texturetest {

// Fresh pixel storage holding `bytes`.
inline void setPixels(libgr::ofsvector<unsigned char>& pixels,
                      const std::vector<unsigned char>& bytes) {
  pixels.allocate(uint32_t(bytes.size()));
  if (!bytes.empty()) std::memcpy(pixels.begin(), bytes.data(), bytes.size());
}

// A record of any dimension holding `bytes`; the caller sets its sides.
template <typename Image>
Image imageOf(uint32_t layout, uint32_t depthCode, const std::vector<unsigned char>& bytes,
              uint32_t componentClass = libgr::grClassUnsigned) {
  Image image;
  image.layout = layout;
  image.depthCode = depthCode;
  image.componentClass = componentClass;
  setPixels(image.pixels, bytes);
  return image;
}

inline libgr::grImage2D image2D(int32_t width, int32_t height, uint32_t layout, uint32_t depthCode,
                                const std::vector<unsigned char>& bytes,
                                uint32_t componentClass = libgr::grClassUnsigned) {
  auto image = imageOf<libgr::grImage2D>(layout, depthCode, bytes, componentClass);
  image.width = width;
  image.height = height;
  return image;
}

inline libgr::grImage1D image1D(int32_t width, uint32_t layout, uint32_t depthCode,
                                const std::vector<unsigned char>& bytes) {
  auto image = imageOf<libgr::grImage1D>(layout, depthCode, bytes);
  image.width = width;
  return image;
}

inline libgr::grImage3D image3D(int32_t width, int32_t height, int32_t depth, uint32_t layout,
                                uint32_t depthCode, const std::vector<unsigned char>& bytes) {
  auto image = imageOf<libgr::grImage3D>(layout, depthCode, bytes);
  image.width = width;
  image.height = height;
  image.depth = depth;
  return image;
}

// `count` RGB bytes of one colour.
inline std::vector<unsigned char> solid(int pixels, unsigned char r, unsigned char g,
                                        unsigned char b) {
  std::vector<unsigned char> bytes;
  for (int i = 0; i < pixels; ++i) bytes.insert(bytes.end(), {r, g, b});
  return bytes;
}

// Two-entry palette: index 0 red, index 1 blue.
inline void redBluePalette(libgr::grColorMaps& maps) {
  maps.setSize(2);
  *maps.red.at(0) = 65535, *maps.green.at(0) = 0, *maps.blue.at(0) = 0;
  *maps.red.at(1) = 0, *maps.green.at(1) = 0, *maps.blue.at(1) = 65535;
}

}  // namespace texturetest
