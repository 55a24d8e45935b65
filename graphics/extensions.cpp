// Extension name test, probes, capability flags and fetched entry points.
#include "graphics/extensions.h"

#include <GL/glx.h>

#include <cstring>

// Each extension's entry points, a row each: the pointer's type, the
// variable holding it and the name the driver exports it under. The
// definitions, the fetching and the reset are all written from these rows.
#define GR_TEXTURE_COMPRESSION_ENTRY_POINTS(ROW)                                             \
  ROW(PFNGLCOMPRESSEDTEXIMAGE3DARBPROC, grCompressedTexImage3D, "glCompressedTexImage3DARB") \
  ROW(PFNGLCOMPRESSEDTEXIMAGE2DARBPROC, grCompressedTexImage2D, "glCompressedTexImage2DARB") \
  ROW(PFNGLCOMPRESSEDTEXIMAGE1DARBPROC, grCompressedTexImage1D, "glCompressedTexImage1DARB") \
  ROW(PFNGLCOMPRESSEDTEXSUBIMAGE3DARBPROC, grCompressedTexSubImage3D,                        \
      "glCompressedTexSubImage3DARB")                                                        \
  ROW(PFNGLCOMPRESSEDTEXSUBIMAGE2DARBPROC, grCompressedTexSubImage2D,                        \
      "glCompressedTexSubImage2DARB")                                                        \
  ROW(PFNGLCOMPRESSEDTEXSUBIMAGE1DARBPROC, grCompressedTexSubImage1D,                        \
      "glCompressedTexSubImage1DARB")                                                        \
  ROW(PFNGLGETCOMPRESSEDTEXIMAGEARBPROC, grGetCompressedTexImage, "glGetCompressedTexImageARB")
#define GR_TEXTURE_3D_ENTRY_POINTS(ROW)                        \
  ROW(PFNGLTEXIMAGE3DEXTPROC, grTexImage3D, "glTexImage3DEXT") \
  ROW(PFNGLTEXSUBIMAGE3DEXTPROC, grTexSubImage3D, "glTexSubImage3DEXT")
// Into `all`; every entry point is fetched even after one is missing.
#define GR_FETCH_ENTRY_POINT(type, variable, exported) all &= fetch(variable, exported);
#define GR_RESET_ENTRY_POINT(type, variable, exported) variable = nullptr;

namespace libgr {

bool grHasTextureCompression = false;
bool grHasGenerateMipmap = false;
bool grHasTexture3D = false;
bool grHasAnisotropy = false;

#define GR_DEFINE_ENTRY_POINT(type, variable, exported) type variable = nullptr;
GR_TEXTURE_COMPRESSION_ENTRY_POINTS(GR_DEFINE_ENTRY_POINT)
GR_TEXTURE_3D_ENTRY_POINTS(GR_DEFINE_ENTRY_POINT)
#undef GR_DEFINE_ENTRY_POINT

namespace {

grProcResolver activeResolver = &glProcAddress;

// Fetches `name` into `slot`; true when the driver handed out an address.
template <typename Pointer>
bool fetch(Pointer& slot, const char* name) {
  slot = reinterpret_cast<Pointer>(activeResolver(name));
  return slot != nullptr;
}

// Each false when any of its entry points is missing.
bool fetchTextureCompression() {
  bool all = true;
  GR_TEXTURE_COMPRESSION_ENTRY_POINTS(GR_FETCH_ENTRY_POINT)
  return all;
}
bool fetchTexture3D() {
  bool all = true;
  GR_TEXTURE_3D_ENTRY_POINTS(GR_FETCH_ENTRY_POINT)
  return all;
}
bool nothingToFetch() { return true; }

// Sets `flag` when the context names `extension` and `fetchAll` finds all its
// entry points (a named extension without them cannot be used). A set flag
// is left alone with the entry points fetched for it: flags are only ever
// set, and a later lookup that fails must not take back what uploads rely
// on. True when the extension is named.
bool probeExtension(const char* extension, bool& flag, bool (*fetchAll)()) {
  if (!hasExtension(extension)) return false;
  if (!flag) flag = fetchAll();
  return true;
}

}  // namespace

grProc glProcAddress(const char* name) {
  return glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name));
}

bool extensionListHas(const char* list, const char* name) {
  if (!list || !name || !*name || std::strchr(name, ' ')) return false;
  const size_t length = std::strlen(name);
  const char* searchFrom = list;
  while (const char* found = std::strstr(searchFrom, name)) {
    // A word starts at the list's start or after a space; the search may
    // resume inside a failed occurrence, which is no word start.
    const bool beginsWord = found == list || found[-1] == ' ';
    const char after = found[length];
    const bool endsWord = after == ' ' || after == '\0';
    if (beginsWord && endsWord) return true;
    searchFrom = found + 1;
  }
  return false;
}

bool hasExtension(const char* name) {
  if (!name || !*name || std::strchr(name, ' ')) return false;
  // Null without a current context (or on a core profile).
  const GLubyte* list = glGetString(GL_EXTENSIONS);
  return extensionListHas(reinterpret_cast<const char*>(list), name);
}

// The probes that fetch entry points hand back the last one.
grProc probeTextureCompression() {
  const bool named = probeExtension("GL_ARB_texture_compression", grHasTextureCompression,
                                    fetchTextureCompression);
  return named ? reinterpret_cast<grProc>(grGetCompressedTexImage) : nullptr;
}

grProc probeTexture3D() {
  const bool named = probeExtension("GL_EXT_texture3D", grHasTexture3D, fetchTexture3D);
  return named ? reinterpret_cast<grProc>(grTexSubImage3D) : nullptr;
}

bool probeGenerateMipmap() {
  return probeExtension("GL_SGIS_generate_mipmap", grHasGenerateMipmap, nothingToFetch);
}

bool probeAnisotropicFilter() {
  return probeExtension("GL_EXT_texture_filter_anisotropic", grHasAnisotropy, nothingToFetch);
}

void resetExtensionProbes() {
  grHasTextureCompression = grHasGenerateMipmap = grHasTexture3D = grHasAnisotropy = false;
  GR_TEXTURE_COMPRESSION_ENTRY_POINTS(GR_RESET_ENTRY_POINT)
  GR_TEXTURE_3D_ENTRY_POINTS(GR_RESET_ENTRY_POINT)
  activeResolver = &glProcAddress;
}

void setProcResolver(grProcResolver resolver) {
  activeResolver = resolver ? resolver : &glProcAddress;
}

}  // namespace libgr
