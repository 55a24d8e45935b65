// Texture objects (name handling through create/apply/update/release and
// destruction), parameter records and border colours as GL holds them, and
// the dimension/target/format/type conversions.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <memory>
#include <vector>

#include "graphics/extensions.h"
#include "graphics/texture_image.h"
#include "graphics/texture_object.h"
#include "tests/graphics/texture_test_helpers.h"
#include "tests/support/gl_context.h"
#include "tests/support/gl_recorder.h"

using namespace libgr;
using testsupport::CallRecorder;
using testsupport::glCall;

namespace {

class TextureObject : public testsupport::GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    resetExtensionProbes();
    texture.setImage(
        texturetest::image2D(2, 2, grLayoutRGB, grDepth8, texturetest::solid(4, 10, 20, 30)), 0, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  }
  void TearDown() override {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    resetExtensionProbes();
    GLTest::TearDown();
  }
  grTexture2D texture;
};

GLint texParameter(GLenum target, GLenum name) {
  GLint value = -1;
  glGetTexParameteriv(target, name, &value);
  return value;
}

GLint levelWidth(GLenum target, GLint level) {
  GLint width = 0;
  glGetTexLevelParameteriv(target, level, GL_TEXTURE_WIDTH, &width);
  return width;
}

}  // namespace

TEST_F(TextureObject, ApplyBeforeCreateBindsTheInvalidNameToNoTarget) {
  grTextureObject object;
  CallRecorder rec;
  object.apply();
  EXPECT_EQ(
      rec.calls(),
      (std::vector<std::string>{glCall("glBindTexture", GLenum(GL_INVALID_ENUM), GLuint(0x0501))}));
  EXPECT_EQ(glGetError(), GLenum(GL_INVALID_ENUM));  // what GL makes of it
  EXPECT_FALSE(object.isLoaded());
  EXPECT_EQ(object.dimension(), 0);
}

TEST_F(TextureObject, UpdateReleaseAndResidencyOfAnUnloadedObjectAskNothingOfGL) {
  grTextureObject object;
  CallRecorder rec;
  object.update();
  object.release();
  EXPECT_FALSE(object.isResident());
  EXPECT_TRUE(rec.calls().empty()) << rec.dump();
}

TEST_F(TextureObject, CreateGeneratesBindsUploadsAndReusesItsName) {
  grTextureObject object;
  CallRecorder rec;
  object.create(texture);
  ASSERT_EQ(rec.count("glGenTextures"), 1u) << rec.dump();
  const GLuint name = object.name();
  EXPECT_EQ(rec.calls()[1], glCall("glBindTexture", GLenum(GL_TEXTURE_2D), name));
  EXPECT_TRUE(glIsTexture(name));
  EXPECT_EQ(levelWidth(GL_TEXTURE_2D, 0), 2);
  EXPECT_TRUE(object.isLoaded());
  EXPECT_EQ(object.dimension(), 2);
  EXPECT_EQ(object.target(), GLenum(GL_TEXTURE_2D));
  EXPECT_TRUE(object.isResident());

  rec.clear();
  object.create(texture);
  EXPECT_EQ(rec.count("glGenTextures"), 0u) << rec.dump();
  EXPECT_EQ(object.name(), name);

  glBindTexture(GL_TEXTURE_2D, 0);
  rec.clear();
  object.apply();
  EXPECT_EQ(rec.calls(),
            (std::vector<std::string>{glCall("glBindTexture", GLenum(GL_TEXTURE_2D), name)}));
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(GLuint(bound), name);
}

TEST_F(TextureObject, UpdateBindsAndLetsTheSourceResendItsPixels) {
  grTextureObject object;
  object.create(texture);
  glBindTexture(GL_TEXTURE_2D, 0);
  CallRecorder rec;
  object.update();
  ASSERT_GE(rec.calls().size(), 2u);
  EXPECT_EQ(rec.calls()[0], glCall("glBindTexture", GLenum(GL_TEXTURE_2D), object.name()));
  EXPECT_EQ(rec.count("glTexSubImage2D"), 1u) << rec.dump();
  EXPECT_EQ(rec.count("glTexImage2D"), 0u) << rec.dump();
}

TEST_F(TextureObject, ReleaseDeletesTheTextureAndCreateMakesANewOneDeletedOnce) {
  auto object = std::make_unique<grTextureObject>();
  object->create(texture);
  const GLuint first = object->name();
  object->release();
  EXPECT_FALSE(glIsTexture(first));
  EXPECT_FALSE(object->isLoaded());
  EXPECT_EQ(object->target(), GLenum(GL_INVALID_ENUM));
  EXPECT_EQ(object->name(), grInvalidName);
  {
    CallRecorder rec;
    object->release();  // unloaded now: nothing
    EXPECT_FALSE(object->isResident());
    EXPECT_TRUE(rec.calls().empty()) << rec.dump();
  }
  CallRecorder rec;
  object->create(texture);
  EXPECT_EQ(rec.count("glGenTextures"), 1u) << rec.dump();
  const GLuint second = object->name();
  EXPECT_TRUE(glIsTexture(second));
  rec.clear();
  object.reset();
  EXPECT_EQ(rec.callsTo("glDeleteTextures"),
            (std::vector<std::string>{glCall("glDeleteTextures", GLsizei(1), &second)}));
  EXPECT_FALSE(glIsTexture(second));
}

TEST_F(TextureObject, CopiesShareTheNameUntilTheLastGoes) {
  auto original = std::make_unique<grTextureObject>();
  original->create(texture);
  const GLuint name = original->name();
  auto copy = std::make_unique<grTextureObject>(*original);
  original.reset();
  EXPECT_TRUE(glIsTexture(name));
  EXPECT_EQ(copy->name(), name);
  copy.reset();
  EXPECT_FALSE(glIsTexture(name));
}

TEST_F(TextureObject, ParameterRecordsReachTheBoundTexture) {
  GLuint names[4];
  glGenTextures(4, names);
  glBindTexture(GL_TEXTURE_1D, names[0]);
  glBindTexture(GL_TEXTURE_2D, names[1]);
  glBindTexture(GL_TEXTURE_3D, names[2]);
  glBindTexture(GL_TEXTURE_CUBE_MAP, names[3]);
  const grTexParams1D p1(GL_NEAREST, GL_NEAREST, GL_CLAMP_TO_EDGE);
  const grTexParams2D p2(GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, GL_REPEAT, GL_MIRRORED_REPEAT, 4.9f);
  const grTexParams3D p3(GL_NEAREST_MIPMAP_NEAREST, GL_NEAREST, GL_CLAMP_TO_EDGE, GL_REPEAT,
                         GL_MIRRORED_REPEAT, 2.0f);
  const grTexParamsCubeMap pc(GL_LINEAR, GL_NEAREST, 8.0f);
  CallRecorder rec;
  applyTexParams(&p1);
  applyTexParams(&p2);
  applyTexParams(&p3);
  applyTexParams(&pc);
  EXPECT_EQ(rec.count("glTexParameteri"), 3u + 4u + 5u + 2u) << rec.dump();  // no anisotropy
  EXPECT_EQ(rec.calls()[3], glCall("glTexParameteri", GLenum(GL_TEXTURE_2D),
                                   GLenum(GL_TEXTURE_MIN_FILTER), GLint(GL_LINEAR_MIPMAP_LINEAR)));
  EXPECT_EQ(texParameter(GL_TEXTURE_1D, GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
  EXPECT_EQ(texParameter(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
  EXPECT_EQ(texParameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T), GL_MIRRORED_REPEAT);
  EXPECT_EQ(texParameter(GL_TEXTURE_3D, GL_TEXTURE_WRAP_R), GL_MIRRORED_REPEAT);
  EXPECT_EQ(texParameter(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER), GL_NEAREST_MIPMAP_NEAREST);
  EXPECT_EQ(texParameter(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER), GL_NEAREST);
  // Cube maps get no wrap modes: the default stays.
  EXPECT_EQ(texParameter(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_S), GL_REPEAT);
  EXPECT_EQ(texParameter(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT), 1);
  glDeleteTextures(4, names);
}

TEST_F(TextureObject, AnisotropyIsTruncatedAndSentOnlyWhenProbed) {
  ASSERT_TRUE(probeAnisotropicFilter());
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  const grTexParams2D params(GL_LINEAR, GL_LINEAR, GL_REPEAT, GL_REPEAT, 4.9f);
  CallRecorder rec;
  applyTexParams(&params);
  EXPECT_EQ(rec.calls().back(), glCall("glTexParameteri", GLenum(GL_TEXTURE_2D),
                                       GLenum(GL_TEXTURE_MAX_ANISOTROPY_EXT), GLint(4)));
  GLfloat anisotropy = 0;
  glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, &anisotropy);
  EXPECT_FLOAT_EQ(anisotropy, 4.0f);
  glDeleteTextures(1, &name);
}

TEST_F(TextureObject, NullRecordsAndColoursIssueNothingAndColoursReachGL) {
  {
    CallRecorder rec;
    applyTexParams(static_cast<const grTexParams1D*>(nullptr));
    applyTexParams(static_cast<const grTexParams2D*>(nullptr));
    applyTexParams(static_cast<const grTexParams3D*>(nullptr));
    applyTexParams(static_cast<const grTexParamsCubeMap*>(nullptr));
    applyBorderColor(GL_TEXTURE_2D, nullptr);
    EXPECT_TRUE(rec.calls().empty()) << rec.dump();
  }
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  const float color[4] = {0.25f, 0.5f, 0.75f, 1.0f};
  applyBorderColor(GL_TEXTURE_2D, color);
  GLfloat held[4] = {};
  glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, held);
  for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(held[i], color[i]);
  glDeleteTextures(1, &name);
}

TEST(TextureConversions, TargetsAndDimensions) {
  EXPECT_EQ(targetForDimension(1), GLenum(GL_TEXTURE_1D));
  EXPECT_EQ(targetForDimension(3), GLenum(GL_TEXTURE_3D));
  EXPECT_EQ(targetForDimension(6), GLenum(GL_TEXTURE_CUBE_MAP));
  for (int n : {0, 4, 5, 7, -1}) EXPECT_EQ(targetForDimension(n), GLenum(GL_INVALID_ENUM)) << n;
  EXPECT_EQ(dimensionForTarget(GL_TEXTURE_CUBE_MAP), 6);
  EXPECT_EQ(dimensionForTarget(GL_TEXTURE_2D), 2);
  EXPECT_EQ(dimensionForTarget(GL_INVALID_ENUM), 0);
  EXPECT_EQ(dimensionForTarget(GL_TEXTURE_CUBE_MAP_POSITIVE_X), 0);
}
