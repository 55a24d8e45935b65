// The math-type wrappers around single OpenGL calls.
#include "graphics/gl_wrappers.h"

namespace libgr {

void grTranslate(const grVec3& v) { glTranslatef(v.x, v.y, v.z); }

void grRotate(const grRotation& r) { glRotatef(r.angle, r.axis.x, r.axis.y, r.axis.z); }

void grFrustum(const grFrustumBounds& b) {
  glFrustum(b.left, b.right, b.bottom, b.top, b.near, b.far);
}

void grClearColor(const grVec4& rgba) { glClearColor(rgba[0], rgba[1], rgba[2], rgba[3]); }

void grColor(const grVec4& rgba) { glColor4fv(rgba.data()); }

void grLight(GLenum light, GLenum name, const grVec4& v) { glLightfv(light, name, v.data()); }

void grLightPosition(GLenum light, const grVec3& p) {
  const grVec4 direction(p.x, p.y, p.z, 0.0f);
  glLightfv(light, GL_POSITION, direction.data());
}

void grMaterial(GLenum face, GLenum name, const grVec4& v) { glMaterialfv(face, name, v.data()); }

void grMaterial(GLenum face, GLenum name, float s) { glMaterialf(face, name, s); }

void grGetIntegers(GLenum name, GLint* values) { glGetIntegerv(name, values); }

}  // namespace libgr
