#pragma once
// Texture objects and parameters: the grTexturable class tree (what a texture
// contains versus the GL object that holds it), grTextureObject (a GL texture
// name in a shared cell that binds and asks an image texture to upload once),
// the parameter records with the code that applies them, and conversions
// between dimensions and targets.
#include <GL/gl.h>

#include "graphics/pixel_format.h"  // component counts, kept reachable from here
#include "graphics/shared_ref.h"

namespace libgr {

// Anything that can be made the current texture: image textures upload
// pixels into the bound texture, texture objects bind a GL name.
class grTexturable {
 public:
  virtual int dimension() const = 0;
  virtual void release() {}
  virtual void apply() = 0;
  virtual void update() { apply(); }
  virtual ~grTexturable() = 0;
};

// Level images and upload settings, sent to whatever texture is bound.
class grTexturableImage : public grTexturable {
 public:
  ~grTexturableImage() override = 0;
};

// A GL texture object.
class grTexturableObject : public grTexturable {
 public:
  void release() override = 0;
  virtual bool isLoaded() const = 0;
  ~grTexturableObject() override = 0;
};

// Owns a GL texture name through a reference-counted cell. Copies share the
// cell: the GL texture goes when the last holder lets go of it.
class grTextureObject : public grTexturableObject {
 public:
  grTextureObject() = default;
  ~grTextureObject() override;

  // Binds a name (generated on first use, reused afterwards) to the source's
  // target and has the source upload into it. The source is not owned and
  // must outlive this object's use of it.
  void create(grTexturable& source);
  // Binds the name; unlike the other operations this works unloaded too.
  void apply() override;
  // When loaded: binds and lets the source re-send its pixels.
  void update() override;
  // When loaded: deletes the GL texture; the cell stays attached.
  void release() override;
  bool isLoaded() const override { return loaded_; }
  bool isResident() const;
  int dimension() const override;

  GLenum target() const { return target_; }
  // The name the cell reports (grInvalidName when there is none).
  GLuint name() const { return cell_.name(); }

 private:
  grSharedRef<grTextureName> cell_;
  GLenum target_ = GL_INVALID_ENUM;
  bool loaded_ = false;
  grTexturable* source_ = nullptr;
};

// Texture parameter records: plain data, every field set by the constructor.
struct grTexParams1D {
  grTexParams1D(GLint minFilter, GLint magFilter, GLint wrapS)
      : minFilter(minFilter), magFilter(magFilter), wrapS(wrapS) {}
  GLint minFilter, magFilter, wrapS;
};

struct grTexParams2D {
  grTexParams2D(GLint minFilter, GLint magFilter, GLint wrapS, GLint wrapT, float maxAnisotropy)
      : minFilter(minFilter),
        magFilter(magFilter),
        wrapS(wrapS),
        wrapT(wrapT),
        maxAnisotropy(maxAnisotropy) {}
  GLint minFilter, magFilter, wrapS, wrapT;
  float maxAnisotropy;
};

struct grTexParams3D {
  grTexParams3D(GLint minFilter, GLint magFilter, GLint wrapS, GLint wrapT, GLint wrapR,
                float maxAnisotropy)
      : minFilter(minFilter),
        magFilter(magFilter),
        wrapS(wrapS),
        wrapT(wrapT),
        wrapR(wrapR),
        maxAnisotropy(maxAnisotropy) {}
  GLint minFilter, magFilter, wrapS, wrapT, wrapR;
  float maxAnisotropy;
};

struct grTexParamsCubeMap {
  grTexParamsCubeMap(GLint minFilter, GLint magFilter, float maxAnisotropy)
      : minFilter(minFilter), magFilter(magFilter), maxAnisotropy(maxAnisotropy) {}
  GLint minFilter, magFilter;
  float maxAnisotropy;
};

// Apply a record to the texture bound to its target; a null record does
// nothing. Anisotropy is sent only when the extension was probed.
void applyTexParams(const grTexParams1D* params);
void applyTexParams(const grTexParams2D* params);
void applyTexParams(const grTexParams3D* params);
void applyTexParams(const grTexParamsCubeMap* params);
// Four floats (red, green, blue, alpha) or null for none.
void applyBorderColor(GLenum target, const float* rgba);

// 1, 2, 3, 6 <-> GL_TEXTURE_1D, _2D, _3D, _CUBE_MAP; GL_INVALID_ENUM or 0 else.
GLenum targetForDimension(int dimension);
int dimensionForTarget(GLenum target);

}  // namespace libgr
