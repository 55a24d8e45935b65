// grPhotoTexture on Mesa: one call takes a BMP, a JPEG or a PNG file to a
// complete mipmapped texture with the photographs' parameters (BMP through
// GLU, JPEG and PNG through the CPU-built chain at GLU's sizes), says why a
// file cannot be shown, and stays whole when moved.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <type_traits>
#include <utility>

#include "graphics/mip_chain.h"
#include "photo/photo_texture.h"
#include "tests/support/gl_context.h"

using namespace libgr;
using testsupport::glInteger;

namespace {

static_assert(!std::is_copy_constructible_v<grPhotoTexture> &&
                  !std::is_copy_assignable_v<grPhotoTexture>,
              "a photograph's texture has one owner");
static_assert(std::is_nothrow_move_constructible_v<grPhotoTexture>, "and can be handed on");

std::string data(const std::string& file) {
  const char* source = std::getenv("BRELVANE_SOURCE_DIR");
  return std::string(source ? source : ".") + "/tests/data/" + file;
}

class PhotoTexture : public testsupport::GLTest {};

GLint level(GLint l, GLenum what) {
  GLint value = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, l, what, &value);
  return value;
}

TEST_F(PhotoTexture, loadsEveryFormatIntoACompleteMipmappedTextureInOneCall) {
  const struct {
    const char* file;
    bool glu;
    int width, height;  // of the upright picture
  } cases[] = {{"bmpsuite/g/rgb24.bmp", true, 127, 64},
               {"photos/pil-busy-640x480.jpg", false, 640, 480},
               {"photos/pil-busy-640x480.png", false, 640, 480},
               {"photos/exif-ii-6.jpg", false, 61, 37},  // stored on its side
               {"bmpsuite/q/rgb24png.bmp", false, 127, 64}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    grPhotoTexture photo;
    ASSERT_TRUE(photo.load(data(c.file).c_str())) << photo.problem();
    EXPECT_TRUE(photo.isLoaded());
    EXPECT_EQ(photo.problem(), "");
    EXPECT_EQ(photo.builtByGlu(), c.glu);
    EXPECT_EQ(photo.file().fullSize.width, uint32_t(c.width));
    EXPECT_EQ(photo.file().fullSize.height, uint32_t(c.height));
    const grLevelSize base = gluBaseLevelSize(uint32_t(c.width), uint32_t(c.height),
                                              uint32_t(glInteger(GL_MAX_TEXTURE_SIZE)));
    // BMP pictures as read (GLU scales them); the others read at the base
    // level's size.
    EXPECT_EQ(photo.image().width, c.glu ? c.width : int(base.width));
    EXPECT_EQ(photo.image().height, c.glu ? c.height : int(base.height));

    photo.apply();
    EXPECT_EQ(GLuint(glInteger(GL_TEXTURE_BINDING_2D)), photo.object().name());
    EXPECT_EQ(level(0, GL_TEXTURE_WIDTH), GLint(base.width));
    EXPECT_EQ(level(0, GL_TEXTURE_HEIGHT), GLint(base.height));
    // Every level down to 1 x 1: the texture is complete for trilinear use.
    GLint last = 0;
    while (level(last + 1, GL_TEXTURE_WIDTH) > 0) ++last;
    EXPECT_EQ(level(last, GL_TEXTURE_WIDTH), 1);
    EXPECT_EQ(level(last, GL_TEXTURE_HEIGHT), 1);
    GLint minFilter = 0, wrap = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap);
    EXPECT_EQ(minFilter, GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(wrap, GL_REPEAT);
  }
}

TEST_F(PhotoTexture, saysWhyAFileCannotBeShownAndMakesNoTexture) {
  const struct {
    const char* file;
    const char* reason;
  } cases[] = {{"no/such/file.jpg", "not found"},
               {"photos/not-text.jpg", "not a "},
               {"photos/bad-huge.png", "over 100 megapixels"},
               {"bmpsuite/b/badbitcount.bmp", "bit count"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    grPhotoTexture photo;
    EXPECT_FALSE(photo.load(data(c.file).c_str()));
    EXPECT_FALSE(photo.isLoaded());
    EXPECT_NE(photo.problem().find(c.reason), std::string::npos) << photo.problem();
    EXPECT_FALSE(photo.object().isLoaded());
    EXPECT_FALSE(glIsTexture(photo.object().name()));
  }
}

// The trap of borrowed pointers between the parts: after a move the
// texture still refreshes from pixels that are alive.
TEST_F(PhotoTexture, aMovedTextureKeepsItsNameAndItsPixels) {
  grPhotoTexture first;
  ASSERT_TRUE(first.load(data("photos/pil-busy-640x480.jpg").c_str()));
  const GLuint name = first.object().name();
  grPhotoTexture second = std::move(first);
  EXPECT_FALSE(first.isLoaded());
  ASSERT_TRUE(second.isLoaded());
  EXPECT_EQ(second.object().name(), name);
  second.update();
  second.apply();
  EXPECT_EQ(GLuint(glInteger(GL_TEXTURE_BINDING_2D)), name);
  EXPECT_EQ(level(0, GL_TEXTURE_WIDTH), 512);

  // A reload of the moved-from object works and gets a name of its own.
  ASSERT_TRUE(first.load(data("photos/pil-busy-640x480.png").c_str()));
  EXPECT_NE(first.object().name(), name);
  second = grPhotoTexture();
  EXPECT_FALSE(glIsTexture(name)) << "the texture went with its last owner";
}

}  // namespace
