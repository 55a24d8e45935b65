#pragma once
// Records the real GL/GLU/GLUT calls a piece of code makes, while they still
// reach Mesa. Every entry point of gl_calls.def is wrapped at link time; a
// wrapper appends "name(arg, ...)" to the log while a CallRecorder is
// recording, then forwards the call unchanged.
//
// Argument format: unsigned integers (GLenum, GLuint, GLbitfield) in hex
// ("0x1701"), signed integers in decimal, floating point with %g, pointers as
// "ptr" or "null". Build expected lines with glCall(name, args...), which uses
// the same format.
#include <GL/gl.h>

#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

namespace testsupport {

class CallRecorder {
 public:
  CallRecorder();   // starts recording
  ~CallRecorder();  // stops recording
  CallRecorder(const CallRecorder&) = delete;
  CallRecorder& operator=(const CallRecorder&) = delete;

  void stop();
  void clear();
  const std::vector<std::string>& calls() const;
  // Calls whose name equals `name`.
  std::vector<std::string> callsTo(const std::string& name) const;
  // Number of calls whose name equals `name`.
  size_t count(const std::string& name) const;
  // Whole log, one call a line, for failure messages.
  std::string dump() const;
};

namespace detail {
void appendCall(std::string call);
bool recording();

inline void formatArg(std::ostringstream& out, const char* value) {
  out << (value ? "ptr" : "null");
}
template <typename T>
void formatArg(std::ostringstream& out, T value) {
  if constexpr (std::is_pointer_v<T>) {
    out << (value ? "ptr" : "null");
  } else if constexpr (std::is_floating_point_v<T>) {
    out << static_cast<double>(value);
  } else if constexpr (std::is_same_v<T, GLboolean>) {
    out << static_cast<int>(value);
  } else if constexpr (std::is_unsigned_v<T>) {
    out << "0x" << std::hex << static_cast<unsigned long long>(value) << std::dec;
  } else {
    out << static_cast<long long>(value);
  }
}
}  // namespace detail

template <typename... Args>
std::string glCall(const char* name, Args... args) {
  std::ostringstream out;
  out << name << '(';
  bool first = true;
  ((out << (first ? "" : ", "), detail::formatArg(out, args), first = false), ...);
  out << ')';
  return out.str();
}

}  // namespace testsupport
