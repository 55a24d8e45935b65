#include "tests/support/gl_recorder.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

namespace testsupport {
namespace {
std::vector<std::string>& log() {
  static std::vector<std::string> calls;
  return calls;
}
bool& active() {
  static bool on = false;
  return on;
}
}  // namespace

namespace detail {
void appendCall(std::string call) { log().push_back(std::move(call)); }
bool recording() { return active(); }
}  // namespace detail

CallRecorder::CallRecorder() {
  log().clear();
  active() = true;
}
CallRecorder::~CallRecorder() { active() = false; }
void CallRecorder::stop() { active() = false; }
void CallRecorder::clear() { log().clear(); }
const std::vector<std::string>& CallRecorder::calls() const { return log(); }

std::vector<std::string> CallRecorder::callsTo(const std::string& name) const {
  std::vector<std::string> out;
  for (const auto& call : log())
    if (call.compare(0, name.size() + 1, name + "(") == 0) out.push_back(call);
  return out;
}

size_t CallRecorder::count(const std::string& name) const { return callsTo(name).size(); }

std::string CallRecorder::dump() const {
  std::string out;
  for (const auto& call : log()) out += call + "\n";
  return out;
}

}  // namespace testsupport

// The wrappers: record while a CallRecorder is active, then forward. Calls
// that GLU makes inside its own library are not wrapped; only the calls our
// code makes appear in the log.
#define GLCALL(ret, name, params, args)                                             \
  extern "C" ret __real_##name params;                                              \
  extern "C" ret __wrap_##name params {                                             \
    if (testsupport::detail::recording())                                           \
      testsupport::detail::appendCall(testsupport::glCall(#name EXPAND_ARGS args)); \
    return __real_##name args;                                                      \
  }
#define EXPAND_ARGS(...) __VA_OPT__(, ) __VA_ARGS__
#include "tests/support/gl_calls.def"
#undef GLCALL
