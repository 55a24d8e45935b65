// Extension name test, probes, capability flags and fetched entry points.
#include "graphics/extensions.h"

#include <GL/glx.h>

#include <cstring>

namespace libgr {

bool grHasTextureCompression = false;
bool grHasGenerateMipmap = false;
bool grHasTexture3D = false;
bool grHasAnisotropy = false;

PFNGLCOMPRESSEDTEXIMAGE3DARBPROC grCompressedTexImage3D = nullptr;
PFNGLCOMPRESSEDTEXIMAGE2DARBPROC grCompressedTexImage2D = nullptr;
PFNGLCOMPRESSEDTEXIMAGE1DARBPROC grCompressedTexImage1D = nullptr;
PFNGLCOMPRESSEDTEXSUBIMAGE3DARBPROC grCompressedTexSubImage3D = nullptr;
PFNGLCOMPRESSEDTEXSUBIMAGE2DARBPROC grCompressedTexSubImage2D = nullptr;
PFNGLCOMPRESSEDTEXSUBIMAGE1DARBPROC grCompressedTexSubImage1D = nullptr;
PFNGLGETCOMPRESSEDTEXIMAGEARBPROC grGetCompressedTexImage = nullptr;

PFNGLTEXIMAGE3DEXTPROC grTexImage3D = nullptr;
PFNGLTEXSUBIMAGE3DEXTPROC grTexSubImage3D = nullptr;

namespace {

grProcResolver activeResolver = &glProcAddress;

// Fetches `name` into `slot`; true when the driver handed out an address.
template <typename Pointer>
bool fetch(Pointer& slot, const char* name) {
  slot = reinterpret_cast<Pointer>(activeResolver(name));
  return slot != nullptr;
}

// Sets `flag` when the context names `extension` and `fetchAll` (which
// fetches every entry point, `&` rather than `&&`) finds them all: a named
// extension without its entry points cannot be used. True when named.
template <typename FetchAll>
bool probeExtension(const char* extension, bool& flag, FetchAll fetchAll) {
  if (!hasExtension(extension)) return false;
  flag = fetchAll();
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
    const bool beginsWord = found == searchFrom || found[-1] == ' ';
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

grProc probeTextureCompression() {
  const bool named = probeExtension("GL_ARB_texture_compression", grHasTextureCompression, [] {
    return fetch(grCompressedTexImage3D, "glCompressedTexImage3DARB") &
           fetch(grCompressedTexImage2D, "glCompressedTexImage2DARB") &
           fetch(grCompressedTexImage1D, "glCompressedTexImage1DARB") &
           fetch(grCompressedTexSubImage3D, "glCompressedTexSubImage3DARB") &
           fetch(grCompressedTexSubImage2D, "glCompressedTexSubImage2DARB") &
           fetch(grCompressedTexSubImage1D, "glCompressedTexSubImage1DARB") &
           fetch(grGetCompressedTexImage, "glGetCompressedTexImageARB");
  });
  return named ? reinterpret_cast<grProc>(grGetCompressedTexImage) : nullptr;
}

bool probeGenerateMipmap() {
  return probeExtension("GL_SGIS_generate_mipmap", grHasGenerateMipmap, [] { return true; });
}

grProc probeTexture3D() {
  const bool named = probeExtension("GL_EXT_texture3D", grHasTexture3D, [] {
    return fetch(grTexImage3D, "glTexImage3DEXT") & fetch(grTexSubImage3D, "glTexSubImage3DEXT");
  });
  return named ? reinterpret_cast<grProc>(grTexSubImage3D) : nullptr;
}

bool probeAnisotropicFilter() {
  return probeExtension("GL_EXT_texture_filter_anisotropic", grHasAnisotropy, [] { return true; });
}

void resetExtensionProbes() {
  grHasTextureCompression = grHasGenerateMipmap = grHasTexture3D = grHasAnisotropy = false;
  grCompressedTexImage3D = nullptr;
  grCompressedTexImage2D = nullptr;
  grCompressedTexImage1D = nullptr;
  grCompressedTexSubImage3D = nullptr;
  grCompressedTexSubImage2D = nullptr;
  grCompressedTexSubImage1D = nullptr;
  grGetCompressedTexImage = nullptr;
  grTexImage3D = nullptr;
  grTexSubImage3D = nullptr;
  activeResolver = &glProcAddress;
}

void setProcResolver(grProcResolver resolver) {
  activeResolver = resolver ? resolver : &glProcAddress;
}

}  // namespace libgr
