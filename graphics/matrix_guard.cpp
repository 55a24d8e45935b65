// Matrix-mode saver, the per-stack records with their depth checking, and
// the matrix push guard with its software overflow stack.
#include "graphics/matrix_guard.h"

#include <iostream>

namespace libgr {
namespace {

GLenum currentMatrixMode() {
  GLint mode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  return static_cast<GLenum>(mode);
}

struct StackRecords {
  grMatrixStackInfo modelView{GL_MODELVIEW};
  grMatrixStackInfo projection{GL_PROJECTION};
  grMatrixStackInfo texture{GL_TEXTURE};
};

StackRecords& stackRecords() {
  static StackRecords records;
  return records;
}

bool depthCheckingOn = false;

}  // namespace

grMatrixModeSaver::grMatrixModeSaver(GLenum mode) {
  if (mode == 0) return;
  const GLenum previous = currentMatrixMode();
  if (previous == mode) return;
  glMatrixMode(mode);
  saved_ = previous;
}

void grMatrixModeSaver::restore() {
  if (saved_ == 0) return;
  glMatrixMode(saved_);
  saved_ = 0;
}

grMatrixStackInfo::grMatrixStackInfo(GLenum stackMode) : mode(stackMode) {
  switch (stackMode) {
    case GL_MODELVIEW:
      maxDepthEnum = GL_MAX_MODELVIEW_STACK_DEPTH;
      depthEnum = GL_MODELVIEW_STACK_DEPTH;
      matrixEnum = GL_MODELVIEW_MATRIX;
      break;
    case GL_PROJECTION:
      maxDepthEnum = GL_MAX_PROJECTION_STACK_DEPTH;
      depthEnum = GL_PROJECTION_STACK_DEPTH;
      matrixEnum = GL_PROJECTION_MATRIX;
      break;
    case GL_TEXTURE:
      maxDepthEnum = GL_MAX_TEXTURE_STACK_DEPTH;
      depthEnum = GL_TEXTURE_STACK_DEPTH;
      matrixEnum = GL_TEXTURE_MATRIX;
      break;
    default:
      break;
  }
}

bool grMatrixStackInfo::canPush() const {
  if (maxDepth == 0) return true;
  GLint depth = 0;
  glGetIntegerv(depthEnum, &depth);
  return depth < maxDepth;
}

grMatrixStackInfo& modelViewStackInfo() { return stackRecords().modelView; }
grMatrixStackInfo& projectionStackInfo() { return stackRecords().projection; }
grMatrixStackInfo& textureStackInfo() { return stackRecords().texture; }

void setStackDepthChecking(bool on) {
  depthCheckingOn = on;
  StackRecords& records = stackRecords();
  for (grMatrixStackInfo* record : {&records.modelView, &records.projection, &records.texture}) {
    record->maxDepth = 0;
    if (on) glGetIntegerv(record->maxDepthEnum, &record->maxDepth);
  }
}

bool stackDepthChecking() { return depthCheckingOn; }

grMatrixStackInfo& matrixStackInfo(GLenum mode) {
  if (mode == 0) mode = currentMatrixMode();
  StackRecords& records = stackRecords();
  switch (mode) {
    case GL_MODELVIEW:
      return records.modelView;
    case GL_PROJECTION:
      return records.projection;
    case GL_TEXTURE:
      return records.texture;
    default:
      break;
  }
  // Hex like GL's headers; the stream's own format is put back afterwards so
  // later output of the program is not printed in hex.
  const std::ios_base::fmtflags flags = std::cout.flags();
  std::cout << std::hex << mode << ": unknown enum! fall back to modelview.\n";
  std::cout.flags(flags);
  return records.modelView;
}

// The record is looked up before the mode is switched, so that an unknown
// mode switches to the model-view stack it falls back to rather than asking
// GL for a mode it rejects.
grMatrixGuard::grMatrixGuard(GLenum mode) : record_(&matrixStackInfo(mode)), saver_(record_->mode) {
  if (record_->canPush()) {
    glPushMatrix();
    pushed_ = true;
    return;
  }
  // emplace_back() zero-fills the new matrix; it may throw std::bad_alloc,
  // and saver_ then restores the mode on the way out.
  grMatrixStackInfo::Matrix& top = record_->overflow.emplace_back();
  glGetFloatv(record_->matrixEnum, top.data());
}

grMatrixGuard::~grMatrixGuard() {
  if (pushed_) {
    glPopMatrix();
  } else {
    glLoadMatrixf(record_->overflow.back().data());
    record_->overflow.pop_back();
  }
  // saver_ restores the previous mode as it is destroyed.
}

}  // namespace libgr
