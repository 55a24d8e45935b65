// GLU reads one pixel past a picture it scales to powers of two. Here the
// allocations made while a guard is armed (the BMP reader's file buffer,
// the colours read back from a colour-index level) end right at a page that
// cannot be read, so such a read ends the test with a segmentation fault;
// the upload must give GLU nothing it can overrun.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "graphics/bmp.h"
#include "graphics/image.h"
#include "graphics/texture_image.h"
#include "tests/support/gl_context.h"
#include "tools/guard_page.h"

namespace {

bool guardArmed = false;         // array allocations
bool guardObjectsArmed = false;  // other allocations of whole 16-byte units

}  // namespace

// Every form, so that no block is freed by another allocator (out of line:
// inlined, GCC takes free() of a malloc'd block for a new/delete mismatch).
// Guarded objects keep their alignment: only whole 16-byte units are guarded.
__attribute__((noinline)) void* operator new(std::size_t bytes) {
  if (guardObjectsArmed && bytes % 16 == 0) return guard_page::allocate(bytes ? bytes : 16);
  if (void* block = std::malloc(bytes ? bytes : 1)) return block;
  throw std::bad_alloc();
}
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
  try {
    return operator new(bytes);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
__attribute__((noinline)) void operator delete(void* block) noexcept {
  if (!guard_page::release(block)) std::free(block);
}
void operator delete(void* block, std::size_t) noexcept { operator delete(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { operator delete(block); }
__attribute__((noinline)) void* operator new[](std::size_t bytes) {
  if (guardArmed) return guard_page::allocate(bytes ? bytes : 1);
  if (void* block = std::malloc(bytes ? bytes : 1)) return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
  try {
    return operator new[](bytes);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
__attribute__((noinline)) void operator delete[](void* block) noexcept {
  if (!guard_page::release(block)) std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept { operator delete[](block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { operator delete[](block); }

namespace {

using namespace libgr;

// A 24-bit BMP of 4 x 3 grey pixels: rows of 12 bytes need no padding, so
// the pixels end where the file ends.
std::vector<unsigned char> fourByThreeBmp() {
  std::vector<unsigned char> bytes(54 + 36, 0x80);
  const auto put = [&](size_t at, uint32_t value, int count) {
    for (int i = 0; i < count; ++i) bytes[at + i] = (unsigned char)(value >> (8 * i));
  };
  bytes[0] = 'B', bytes[1] = 'M';
  put(2, uint32_t(bytes.size()), 4);
  put(6, 0, 4);
  put(10, 54, 4);  // pixels right after the headers
  put(14, 40, 4);
  put(18, 4, 4);  // width
  put(22, 3, 4);  // height
  put(26, 1, 2);
  put(28, 24, 2);
  for (size_t at = 30; at < 54; ++at) bytes[at] = 0;
  return bytes;
}

class GluOverread : public testsupport::GLTest {};

TEST_F(GluOverread, aPictureGluScalesIsNeverReadPastItsEnd) {
  char path[] = "/tmp/glu-overread-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  const std::vector<unsigned char> bytes = fourByThreeBmp();
  ASSERT_EQ(write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
  close(fd);

  grBmpFile file;
  guardArmed = true;  // the file buffer ends at an unreadable page
  const bool read = file.read(path);
  guardArmed = false;
  unlink(path);
  ASSERT_TRUE(read);
  grImage2D image;
  ASSERT_TRUE(bmpToImage(image, file));
  ASSERT_EQ(image.pixels.size(), 36u);

  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  grTexture2D texture;
  texture.setMipmapped(true);
  texture.setImage(image, 0, 0);
  texture.apply();  // GLU scales 4 x 3 to 4 x 4
  GLint height = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  EXPECT_EQ(height, 4);
  std::vector<unsigned char> texels(4 * 4 * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  for (unsigned char texel : texels) EXPECT_NEAR(texel, 0x80, 1);
  glDeleteTextures(1, &name);
}

TEST_F(GluOverread, colourIndexLevelsReadBackAreNeverReadPastTheirEnd) {
  // 16 x 3 indices: the colours read back are 144 bytes, whole 16-byte
  // units, and GLU scales them to 16 x 4.
  grImage2D image;
  image.width = 16;
  image.height = 3;
  image.layout = grLayoutColorIndex;
  image.componentClass = grClassUnsigned;
  image.depthCode = grDepth8;
  image.pixels.allocate(16 * 3);
  std::fill(image.pixels.begin(), image.pixels.end(), 1);
  image.colorMaps.setSize(2);
  for (uint32_t i = 0; i < 2; ++i)
    *image.colorMaps.red.at(i) = *image.colorMaps.green.at(i) = *image.colorMaps.blue.at(i) =
        i ? 0x8080 : 0;

  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  grTexture2D texture;
  texture.setMipmapped(true);
  texture.setImage(image, 0, 0);
  guardObjectsArmed = true;
  texture.apply();
  guardObjectsArmed = false;
  GLint height = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_HEIGHT, &height);
  EXPECT_EQ(height, 2);  // GLU built the chain from 16 x 4
  glDeleteTextures(1, &name);
}

}  // namespace
