// Drawable base destructors and the display-list object.
#include "graphics/drawable.h"

namespace libgr {
namespace {

// Ends the list being compiled even when the recorded object throws, so GL
// is not left in compile mode swallowing every later command.
class ListRecording {
 public:
  explicit ListRecording(GLuint name) { glNewList(name, GL_COMPILE); }
  ~ListRecording() { glEndList(); }
  ListRecording(const ListRecording&) = delete;
  ListRecording& operator=(const ListRecording&) = delete;
};

}  // namespace

// Pure virtual destructors still need bodies: derived destructors call them.
grDrawable3D::~grDrawable3D() {}
grObject3D::~grObject3D() {}

bool grDspList::compile(grObject3D* object) {
  if (list_.empty()) list_.attachNew();
  grListName& list = list_.payload();
  if (!list.valid) {
    // glGenLists answers 0 when it cannot give a name (e.g. inside
    // glBegin/glEnd). Compiling into list 0 would fail and run the object's
    // commands immediately instead, so report the failure and stay unnamed.
    const GLuint generated = glGenLists(1);
    if (generated == 0) return false;
    list.id = generated;
    list.valid = true;
  }
  ListRecording recording(list.id);
  if (object) object->render();
  return true;
}

void grDspList::render() {
  if (list_.valid()) glCallList(list_.payload().id);
}

void grDspList::deleteList() {
  if (list_.valid()) list_.payload().destroy();
}

}  // namespace libgr
