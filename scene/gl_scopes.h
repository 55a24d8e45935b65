#pragma once
// The scene's scope objects for GL state: each changes one piece of state on
// construction and puts it back on destruction, also when an exception
// leaves the block. Header-only: each is one call in, one call out.
#include <GL/gl.h>

namespace scenegl {

// Every attribute group saved (glPushAttrib of all bits) for a scope.
class AllAttributesScope {
 public:
  AllAttributesScope() { glPushAttrib(GL_ALL_ATTRIB_BITS); }
  ~AllAttributesScope() { glPopAttrib(); }
  AllAttributesScope(const AllAttributesScope&) = delete;
  AllAttributesScope& operator=(const AllAttributesScope&) = delete;
};

// The current matrix of the current matrix mode saved for a scope. With
// GL_MODELVIEW passed, that mode is switched on first and left current.
class MatrixScope {
 public:
  MatrixScope() { glPushMatrix(); }
  explicit MatrixScope(GLenum mode) {
    glMatrixMode(mode);
    glPushMatrix();
  }
  ~MatrixScope() { glPopMatrix(); }
  MatrixScope(const MatrixScope&) = delete;
  MatrixScope& operator=(const MatrixScope&) = delete;
};

// A capability (GL_TEXTURE_2D, ...) switched on for a scope, then off.
class EnabledScope {
 public:
  explicit EnabledScope(GLenum capability) : capability_(capability) { glEnable(capability_); }
  ~EnabledScope() { glDisable(capability_); }
  EnabledScope(const EnabledScope&) = delete;
  EnabledScope& operator=(const EnabledScope&) = delete;

 private:
  GLenum capability_;
};

}  // namespace scenegl
