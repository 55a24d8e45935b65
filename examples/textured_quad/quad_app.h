#pragma once
// The example's scene: a lit quad textured with a photograph (any the photo
// library reads, docs/photo.md), and a torus recorded once into a display
// list and replayed every frame, in a GLUT window run by the vorn framework.
#include <cstdint>
#include <string>

#include "framework/gluty_api.h"
#include "graphics/drawable.h"
#include "math/frame.h"
#include "photo/photo_texture.h"

// A 2 x 2 square in the z = 0 plane facing +z, textured with one picture.
class PictureQuad : public libgr::grObject3D {
 public:
  // Reads the photograph and uploads it as a mipmapped texture; needs the GL
  // context. False (the quad then draws nothing) when it cannot be shown,
  // with the reason in problem().
  bool load(const char* path) { return photo_.load(path); }
  void render() override;
  bool isLoaded() const { return photo_.isLoaded(); }
  const std::string& problem() const { return photo_.problem(); }
  // What is off in a photograph shown all the same; empty for a sound one.
  const std::string& flaw() const { return photo_.flaw(); }

 private:
  // Owns the file, the image record, the parameters and the textures, so
  // nothing it borrows internally can go away before it.
  libgr::grPhotoTexture photo_;
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
