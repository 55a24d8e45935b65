// libFuzzer target: arbitrary bytes taken as a photograph file and sent down
// the path the scene's photograph quads use, grPhotoTexture::load: the
// format told from the content, BMP, JPEG (markers, Exif, colour profile
// chunks) and PNG (chunks, iCCP inflation, eXIf) read, the EXIF orientation
// read by libexif and applied, the colour profile checked and converted,
// then the upload (GLU for BMP, the CPU-built chain for JPEG and PNG) into a
// real headless Mesa context.
//
// Besides the sanitizers' findings, these count as faults (the input then
// aborts): a GL error left by the upload, GL state it fails to restore
// (client attribute stack, colour mapping, unpack alignment), and a texture
// name still alive after its object is gone. Mesa and GLU are not
// instrumented, so the file buffer is made to end at an unreadable page:
// their reads past it fault at once.
#include <GL/gl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "photo/photo_texture.h"
#include "tools/guarded_new.h"
#include "tools/headless_gl.h"

namespace {

[[noreturn]] void fault(const char* what, long value) {
  std::fprintf(stderr, "photo_upload_fuzz: %s (0x%lx)\n", what, value);
  std::abort();
}

// One in-memory file, rewritten for every input: no disk traffic, and the
// reader still goes through stat and a real open/read by path.
class InputFile {
 public:
  InputFile() {
    fd_ = memfd_create("photo-input", MFD_CLOEXEC);
    if (fd_ < 0) fault("memfd_create failed", 0);
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  void write(const uint8_t* data, size_t size) {
    if (ftruncate(fd_, 0) != 0) fault("ftruncate failed", 0);
    size_t done = 0;
    while (done < size) {
      const ssize_t n = pwrite(fd_, data + done, size - done, off_t(done));
      if (n <= 0) fault("pwrite failed", long(done));
      done += size_t(n);
    }
  }
  const char* path() const { return path_.c_str(); }

 private:
  int fd_ = -1;
  std::string path_;
};

InputFile* input = nullptr;
GLint initialUnpackAlignment = 4;

GLint getInt(GLenum what) {
  GLint value = 0;
  glGetIntegerv(what, &value);
  return value;
}

// What the scene does for one photograph; returns the texture name used.
GLuint uploadLikeThePhotographQuad(const char* path) {
  libgr::grPhotoTexture photo;
  // Declared sizes are checked before anything of their size is allocated
  // at any limit; a megapixel keeps every run within the fuzzer's time.
  photo.setMaxPixels(1'000'000);
  // The file buffer, the decoded pixels and every level end at an
  // unreadable page.
  guard_page::withGuardedArrays([&] { return photo.load(path); });
  return photo.object().name();
}

void checkStateAfterUpload(GLuint name) {
  const GLenum error = glGetError();
  if (error != GL_NO_ERROR) {
    while (glGetError() != GL_NO_ERROR) {
    }
    fault("the upload left a GL error", long(error));
  }
  if (getInt(GL_CLIENT_ATTRIB_STACK_DEPTH) != 0)
    fault("client attribute stack not popped", getInt(GL_CLIENT_ATTRIB_STACK_DEPTH));
  if (getInt(GL_MAP_COLOR) != 0) fault("colour mapping left on", 1);
  if (getInt(GL_UNPACK_ALIGNMENT) != initialUnpackAlignment)
    fault("unpack alignment changed", getInt(GL_UNPACK_ALIGNMENT));
  if (name != 0 && glIsTexture(name)) fault("texture outlived its object", long(name));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string why;
  if (!headless::makeContextCurrent(&why)) {
    std::fprintf(stderr, "photo_upload_fuzz: no GL context: %s\n", why.c_str());
    std::exit(1);
  }
  input = new InputFile;  // lives as long as the process
  initialUnpackAlignment = getInt(GL_UNPACK_ALIGNMENT);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  input->write(data, size);
  checkStateAfterUpload(uploadLikeThePhotographQuad(input->path()));
  return 0;
}
