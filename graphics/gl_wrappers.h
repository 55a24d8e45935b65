#pragma once
// Thin wrappers that hand the math types to OpenGL, one GL call each, so
// callers never unpack a vector, rotation or frustum by hand; and grBeginEnd,
// the scope guard around immediate-mode primitives. No error checks, no
// cached state. Named gr* rather than overloading GL's names, which would
// hide the C entry points (glFrustum, glClearColor) inside namespace libgr.
#include <GL/gl.h>

#include "math/frame.h"
#include "math/rotation.h"
#include "math/vector.h"

namespace libgr {

// glTranslatef(v.x, v.y, v.z)
void grTranslate(const grVec3& v);
// glRotatef(angle in degrees, axis) as stored; callers skip identities.
void grRotate(const grRotation& r);
// glFrustum with all six bounds in double precision.
void grFrustum(const grFrustumBounds& b);
void grClearColor(const grVec4& rgba);
// glColor4fv
void grColor(const grVec4& rgba);
// glLightfv(light, name, v)
void grLight(GLenum light, GLenum name, const grVec4& v);
// A directional light: GL_POSITION (p, 0), p pointing towards the light.
// GL transforms it by the model-view matrix current at this call.
void grLightPosition(GLenum light, const grVec3& p);
// glMaterialfv(face, name, v) and glMaterialf(face, name, s)
void grMaterial(GLenum face, GLenum name, const grVec4& v);
void grMaterial(GLenum face, GLenum name, float s);
// glGetIntegerv: `values` must have room for every value `name` returns.
void grGetIntegers(GLenum name, GLint* values);

// glBegin(mode) now, glEnd() at scope exit, so a throw while vertices are
// emitted still closes the primitive. Not nestable, as in GL.
class grBeginEnd {
 public:
  explicit grBeginEnd(GLenum mode) { glBegin(mode); }
  ~grBeginEnd() { glEnd(); }
  grBeginEnd(const grBeginEnd&) = delete;
  grBeginEnd& operator=(const grBeginEnd&) = delete;
};

}  // namespace libgr
