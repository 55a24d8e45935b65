// GLU reads one pixel past a picture it scales to powers of two. Here the
// allocations made while a guard is armed (the BMP reader's file buffer,
// the colours read back from a colour-index level) end right at a page that
// cannot be read, so such a read ends the test with a segmentation fault;
// the upload must give GLU nothing it can overrun.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#include "graphics/bmp.h"
#include "graphics/image.h"
#include "graphics/texture_image.h"
#include "tests/support/gl_context.h"
#include "tests/support/temp_file.h"
#include "tools/bmp_writer.h"
#include "tools/guard_page.h"
#include "tools/guarded_new.h"

namespace {

bool guardObjectsArmed = false;  // allocations of whole 16-byte units

}  // namespace

// Every scalar form, so that no block is freed by another allocator (out of
// line: inlined, GCC takes free() of a malloc'd block for a new/delete
// mismatch). Guarded objects keep their alignment: only whole 16-byte units
// are guarded. Array allocations are guarded by tools/guarded_new.
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

namespace {

using namespace libgr;

// A 24-bit BMP of 4 x 3 grey pixels: rows of 12 bytes need no padding, so
// the pixels end where the file ends.
bmpwriter::Bytes fourByThreeBmp() {
  bmpwriter::BmpLayout layout;
  layout.width = 4;
  layout.height = 3;
  layout.pixels.assign(36, 0x80);
  return bmpwriter::encodeBmp(layout);
}

// Each test uploads into a texture name of its own, bound to GL_TEXTURE_2D.
class GluOverread : public testsupport::GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    if (HasFatalFailure()) return;
    glGenTextures(1, &name_);
    glBindTexture(GL_TEXTURE_2D, name_);
  }
  void TearDown() override {
    glDeleteTextures(1, &name_);
    GLTest::TearDown();
  }

  // GLU scales a mipmapped picture whose sides are not powers of two.
  static void uploadMipmapped(const grImage2D& image, bool guardObjects) {
    grTexture2D texture;
    texture.setMipmapped(true);
    texture.setImage(image, 0, 0);
    guardObjectsArmed = guardObjects;
    texture.apply();
    guardObjectsArmed = false;
  }

 private:
  GLuint name_ = 0;
};

TEST_F(GluOverread, aPictureGluScalesIsNeverReadPastItsEnd) {
  const testsupport::TempFile bmp(fourByThreeBmp(), ".bmp");
  grBmpFile file;
  // The file buffer ends at an unreadable page.
  const bool read = guard_page::withGuardedArrays([&] { return file.read(bmp.path()); });
  ASSERT_TRUE(read);
  grImage2D image;
  ASSERT_TRUE(bmpToImage(image, file));
  ASSERT_EQ(image.pixels.size(), 36u);

  uploadMipmapped(image, false);  // GLU scales 4 x 3 to 4 x 4
  GLint height = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  EXPECT_EQ(height, 4);
  std::vector<unsigned char> texels(4 * 4 * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  for (unsigned char texel : texels) EXPECT_NEAR(texel, 0x80, 1);
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

  uploadMipmapped(image, true);
  GLint height = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_HEIGHT, &height);
  EXPECT_EQ(height, 2);  // GLU built the chain from 16 x 4
}

}  // namespace
