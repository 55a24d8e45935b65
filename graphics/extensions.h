#pragma once
// OpenGL extension probing: the test for an extension name, one probe per
// extension the texture code can use (compression, mipmap generation, 3-D
// textures, anisotropic filtering), the process-wide flags the probes set and
// the entry points they fetch.
//
// The flags start false and the entry points null; nothing probes by itself.
// A probe sets its flag only when the driver names the extension and every
// entry point it needs could be fetched. Flags are only ever set: once a
// probe has set its flag, later probes keep it and the entry points fetched
// with it (they fetch nothing again), so a later failing lookup cannot clear
// what an earlier probe found.
#include <GL/gl.h>
#include <GL/glext.h>

namespace libgr {

// Capability flags, read by the texture parameter and upload code.
extern bool grHasTextureCompression;
extern bool grHasGenerateMipmap;
extern bool grHasTexture3D;
extern bool grHasAnisotropy;

// Entry points of GL_ARB_texture_compression (fetched by probeTextureCompression).
extern PFNGLCOMPRESSEDTEXIMAGE3DARBPROC grCompressedTexImage3D;
extern PFNGLCOMPRESSEDTEXIMAGE2DARBPROC grCompressedTexImage2D;
extern PFNGLCOMPRESSEDTEXIMAGE1DARBPROC grCompressedTexImage1D;
extern PFNGLCOMPRESSEDTEXSUBIMAGE3DARBPROC grCompressedTexSubImage3D;
extern PFNGLCOMPRESSEDTEXSUBIMAGE2DARBPROC grCompressedTexSubImage2D;
extern PFNGLCOMPRESSEDTEXSUBIMAGE1DARBPROC grCompressedTexSubImage1D;
extern PFNGLGETCOMPRESSEDTEXIMAGEARBPROC grGetCompressedTexImage;

// Entry points of GL_EXT_texture3D (fetched by probeTexture3D).
extern PFNGLTEXIMAGE3DEXTPROC grTexImage3D;
extern PFNGLTEXSUBIMAGE3DEXTPROC grTexSubImage3D;

// An untyped GL entry point, as the platform hands it out.
using grProc = void (*)();
// Looks an entry point up by name; may answer non-null for names the driver
// does not have, so callers decide by the extension string first.
using grProcResolver = grProc (*)(const char* name);

// The platform lookup (glXGetProcAddressARB; through glvnd it serves EGL
// contexts as well).
grProc glProcAddress(const char* name);

// True when `name` is a whole word of the space-separated `list`. An empty
// name, a name holding a space or a null list never match.
bool extensionListHas(const char* list, const char* name);

// True when the current context names the extension. False for an empty name
// or one holding a space (without asking GL), and without a current context.
bool hasExtension(const char* name);

// Each probe asks for its extension and, when it is named and its flag is
// not set yet, fetches its entry points and sets its flag. Results: the fetched address of
// glGetCompressedTexImageARB / glTexSubImage3DEXT when the extension is named
// (else null), or whether the extension is named.
grProc probeTextureCompression();
bool probeGenerateMipmap();
grProc probeTexture3D();
bool probeAnisotropicFilter();

// For tests only: clears every flag and entry point (the state at start) and
// puts back the platform lookup.
void resetExtensionProbes();
// For tests only: replaces the lookup the probes use; null restores
// glProcAddress. Lets a test play a driver that names an extension but hands
// out no entry point.
void setProcResolver(grProcResolver resolver);

}  // namespace libgr
