#pragma once
// Scope objects that change GL's matrix state and put it back:
// grMatrixModeSaver switches the matrix mode for a scope; grMatrixGuard saves
// the current matrix of one stack for a scope, on the GL stack when it has
// room and otherwise (with depth checking on) on a software stack.
// Both need a current GL context; nothing here reads the GL error state.
#include <GL/gl.h>

#include <array>
#include <vector>

namespace libgr {

// Switches to `mode` (0 = keep the current one) and restores the previous
// mode at restore() or destruction. Issues no glMatrixMode at all when the
// mode was already right.
class grMatrixModeSaver {
 public:
  explicit grMatrixModeSaver(GLenum mode);
  ~grMatrixModeSaver() { restore(); }
  grMatrixModeSaver(const grMatrixModeSaver&) = delete;
  grMatrixModeSaver& operator=(const grMatrixModeSaver&) = delete;

  // Puts the previous mode back once; later calls and the destructor then do
  // nothing, so a mode the caller sets afterwards is not overwritten.
  void restore();

 private:
  GLenum saved_ = 0;  // 0: nothing to restore
};

// What the library knows about one GL matrix stack.
struct grMatrixStackInfo {
  using Matrix = std::array<GLfloat, 16>;  // glGetFloatv / glLoadMatrixf layout

  // The three GL modes get their query enums; any other mode gets none.
  explicit grMatrixStackInfo(GLenum stackMode);

  // True when checking is off (maxDepth 0) or the GL stack has room.
  bool canPush() const;

  GLenum mode;
  GLenum maxDepthEnum = 0;
  GLenum depthEnum = 0;
  GLenum matrixEnum = 0;
  GLint maxDepth = 0;            // capacity as last queried; 0 = checking off
  std::vector<Matrix> overflow;  // pushes the GL stack had no room for
};

// The process-wide records, one per GL matrix stack, created together in the
// order model-view, projection, texture.
grMatrixStackInfo& modelViewStackInfo();
grMatrixStackInfo& projectionStackInfo();
grMatrixStackInfo& textureStackInfo();

// Turns stack-depth checking on (querying each stack's capacity) or off.
void setStackDepthChecking(bool on);
bool stackDepthChecking();

// The record for `mode` (0 = the current GL matrix mode). An unknown mode is
// reported on std::cout and treated as model-view.
grMatrixStackInfo& matrixStackInfo(GLenum mode);

// Saves the current matrix of `mode`'s stack (0 = the current mode) for the
// guard's lifetime, with that mode switched on meanwhile. Guards must nest
// strictly: each pops exactly what it pushed.
class grMatrixGuard {
 public:
  explicit grMatrixGuard(GLenum mode = 0);
  ~grMatrixGuard();
  grMatrixGuard(const grMatrixGuard&) = delete;
  grMatrixGuard& operator=(const grMatrixGuard&) = delete;

  // True when the GL stack took the push, false when the software one did.
  bool pushedOnGLStack() const { return pushed_; }

 private:
  grMatrixStackInfo* record_;
  grMatrixModeSaver saver_;  // after record_: switches to the record's mode
  bool pushed_ = false;
};

}  // namespace libgr
