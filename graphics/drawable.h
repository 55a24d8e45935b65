#pragma once
// Drawable objects: the one-operation drawing interface, the base that splits
// the public draw() from an object's own GL commands, and grDspList, which
// records another object's commands once into a GL display list and replays
// that list. All of it needs a current GL context on the calling thread.
#include <GL/gl.h>

#include "graphics/shared_ref.h"

namespace libgr {

class grDrawable3D {
 public:
  virtual void draw() = 0;
  virtual ~grDrawable3D() = 0;
};

// draw() is the public entry point; render() is what concrete objects issue.
// Keeping them apart lets a display list record render() of any object.
class grObject3D : public grDrawable3D {
 public:
  void draw() override { render(); }
  ~grObject3D() override = 0;
  virtual void render() = 0;
};

// A display list named by a reference-counted cell. Copies share the cell, so
// the GL list lives until the last copy is gone. States: empty (no cell),
// named (the list exists) and cleared (cell kept after deleteList()).
class grDspList : public grObject3D {
 public:
  grDspList() = default;
  ~grDspList() override = default;  // the cell reference releases the list

  // Records object->render() (nothing for null) into this list, generating a
  // list name on first use and reusing it afterwards. Returns false, with
  // nothing recorded or executed, when GL hands out no list name.
  bool compile(grObject3D* object);

  // Replays the list; does nothing unless the list is named.
  void render() override;

  // Deletes the GL list but keeps the cell, so a later compile() generates a
  // fresh name into it (seen by every copy).
  void deleteList();

  // The GL list name, or grInvalidName when there is no list.
  GLuint name() const { return list_.name(); }
  bool isCompiled() const { return list_.valid(); }

 private:
  grSharedRef<grListName> list_;
};

}  // namespace libgr
