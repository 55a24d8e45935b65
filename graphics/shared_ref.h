#pragma once
// grSharedRef: a reference-counted cell holding one OpenGL object name.
//
// The cell is a small heap record {count, payload}; every copy of a reference
// adds one to the count, and releasing the last reference deletes the GL
// object (when its name is valid) and frees the cell. Single-threaded: the
// count is a plain integer, as everything here runs on the GL thread.
//
// A payload names one kind of GL object: it holds the name and a valid flag,
// reports the name (or grInvalidName when not valid) and knows how to delete
// the object. grListName and grTextureName are the two the library uses.
#include <GL/gl.h>

#include <cstdint>
#include <utility>

namespace libgr {

// What a cell without a valid name reports: 0x0501, a value no GL
// implementation hands out early, which the library also uses to mean "no
// target". (It is GL_INVALID_VALUE's number, kept for compatibility with
// callers that test for it.)
inline constexpr GLuint grInvalidName = 0x0501;

// A display-list name from glGenLists.
struct grListName {
  GLuint id = 0;
  bool valid = false;

  GLuint name() const { return valid ? id : grInvalidName; }
  void destroy() {
    if (valid) glDeleteLists(id, 1);
    valid = false;
  }
};

// A texture name from glGenTextures.
struct grTextureName {
  GLuint id = 0;
  bool valid = false;

  GLuint name() const { return valid ? id : grInvalidName; }
  void destroy() {
    if (valid) glDeleteTextures(1, &id);
    valid = false;
  }
};

template <typename Payload>
class grSharedRef {
 public:
  grSharedRef() = default;
  grSharedRef(const grSharedRef& other) : cell_(other.cell_) {
    if (cell_) ++cell_->count;
  }
  grSharedRef(grSharedRef&& other) noexcept : cell_(std::exchange(other.cell_, nullptr)) {}
  grSharedRef& operator=(grSharedRef other) noexcept {
    std::swap(cell_, other.cell_);
    return *this;
  }
  ~grSharedRef() { release(); }

  bool empty() const { return cell_ == nullptr; }

  // Drops this reference and attaches a fresh cell (count 1, name not valid).
  void attachNew() {
    release();
    cell_ = new Cell;
  }

  // Drops this reference; the last one deletes the GL object and the cell.
  // The reference is empty afterwards in every case.
  void release() {
    Cell* cell = std::exchange(cell_, nullptr);
    if (cell && --cell->count == 0) {
      cell->payload.destroy();
      delete cell;
    }
  }

  // The payload of the attached cell; only valid when !empty().
  Payload& payload() { return cell_->payload; }
  const Payload& payload() const { return cell_->payload; }

  // The name the cell reports, or grInvalidName without a cell.
  GLuint name() const { return cell_ ? cell_->payload.name() : grInvalidName; }
  bool valid() const { return cell_ && cell_->payload.valid; }
  int32_t useCount() const { return cell_ ? cell_->count : 0; }

 private:
  struct Cell {
    int32_t count = 1;
    Payload payload;
  };
  Cell* cell_ = nullptr;
};

}  // namespace libgr
