// __vfprintf_chk without libjxl's complaints (jxl_quiet.h).
#include "photo/jxl_quiet.h"

#include <dlfcn.h>

#include <cstdarg>
#include <cstdio>

namespace libgr {

namespace {

// Where libjxl is loaded: the base address of the object holding its entry
// point (looked up by name, so not a stub in the program).
const void* libjxlBase() {
  static const void* const base = [] {
    Dl_info info{};
    void* entry = dlsym(RTLD_DEFAULT, "JxlDecoderVersion");
    return entry && dladdr(entry, &info) ? info.dli_fbase : nullptr;
  }();
  return base;
}

bool calledFromLibjxl(const void* caller) {
  Dl_info info{};
  const void* base = libjxlBase();
  return base && dladdr(caller, &info) && info.dli_fbase == base;
}

}  // namespace

void keepJxlDecoderQuiet() { libjxlBase(); }

}  // namespace libgr

extern "C" int __vfprintf_chk(FILE* stream, int flag, const char* format, va_list arguments) {
  using Print = int (*)(FILE*, int, const char*, va_list);
  static const Print next = reinterpret_cast<Print>(dlsym(RTLD_NEXT, "__vfprintf_chk"));
  if (stream == stderr && libgr::calledFromLibjxl(__builtin_return_address(0))) return 0;
  return next ? next(stream, flag, format, arguments) : -1;
}
