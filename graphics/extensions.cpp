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
  if (!hasExtension("GL_ARB_texture_compression")) return nullptr;
  grHasTextureCompression = true;
  bool all = fetch(grCompressedTexImage3D, "glCompressedTexImage3DARB");
  all &= fetch(grCompressedTexImage2D, "glCompressedTexImage2DARB");
  all &= fetch(grCompressedTexImage1D, "glCompressedTexImage1DARB");
  all &= fetch(grCompressedTexSubImage3D, "glCompressedTexSubImage3DARB");
  all &= fetch(grCompressedTexSubImage2D, "glCompressedTexSubImage2DARB");
  all &= fetch(grCompressedTexSubImage1D, "glCompressedTexSubImage1DARB");
  all &= fetch(grGetCompressedTexImage, "glGetCompressedTexImageARB");
  // A named extension without its entry points cannot be used.
  if (!all) grHasTextureCompression = false;
  return reinterpret_cast<grProc>(grGetCompressedTexImage);
}

bool probeGenerateMipmap() {
  const bool named = hasExtension("GL_SGIS_generate_mipmap");
  if (named) grHasGenerateMipmap = true;
  return named;
}

grProc probeTexture3D() {
  if (!hasExtension("GL_EXT_texture3D")) return nullptr;
  grHasTexture3D = true;
  bool all = fetch(grTexImage3D, "glTexImage3DEXT");
  all &= fetch(grTexSubImage3D, "glTexSubImage3DEXT");
  if (!all) grHasTexture3D = false;
  return reinterpret_cast<grProc>(grTexSubImage3D);
}

bool probeAnisotropicFilter() {
  const bool named = hasExtension("GL_EXT_texture_filter_anisotropic");
  if (named) grHasAnisotropy = true;
  return named;
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
