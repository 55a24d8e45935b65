#pragma once
// The example's scene: a lit quad textured with a BMP picture, and a torus
// recorded once into a display list and replayed every frame, in a GLUT
// window run by the vorn framework.
#include <cstdint>
#include <string>

#include "framework/gluty_api.h"
#include "graphics/photo/bmp.h"
#include "graphics/drawable.h"
#include "graphics/image.h"
#include "graphics/texture_image.h"
#include "graphics/texture_object.h"
#include "math/frame.h"

// A 2 x 2 square in the z = 0 plane facing +z, textured with one picture.
class PictureQuad : public libgr::grObject3D {
 public:
  // Reads the BMP and uploads it as a mipmapped texture; needs the GL
  // context. False (the quad then draws nothing) for an unreadable file.
  bool load(const char* path);
  void render() override;
  bool isLoaded() const { return textureObject_.isLoaded(); }

 private:
  // Declaration order is destruction order backwards: the texture object
  // goes first, then the texture that borrows params_, then the pixels.
  libgr::grBmpFile bitmap_;
  libgr::grImage2D image_;
  libgr::grTexParams2D params_{GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, GL_CLAMP, GL_CLAMP, 1.0f};
  libgr::grTexture2D texture_;
  libgr::grTextureObject textureObject_;
};

// Its own GL commands only; the application records them into a list.
class Torus : public libgr::grObject3D {
 public:
  void render() override;
};

class QuadApp : public vorn::glutyAPI4 {
 public:
  // frameLimit > 0: after that many frames, check the picture reached the
  // window and exit (0 when it did) instead of running until 'q'.
  QuadApp(std::string picturePath, int frameLimit);
  ~QuadApp() override = default;

  void init() override;
  void display() override;
  void reshape(int width, int height) override;
  void idle() override;
  void keyboard(unsigned char key, int x, int y) override;

 private:
  // Exits with 0 when the window's centre shows the lit quad, else 1.
  [[noreturn]] void checkFrameAndExit();

  std::string picturePath_;
  int frameLimit_;
  int framesDrawn_ = 0;
  uint32_t startMs_ = 0;
  float spinDegrees_ = 0.0f;
  libgr::grFrustumParams frustum_;
  PictureQuad quad_;
  Torus torus_;
  libgr::grDspList torusList_;
};
