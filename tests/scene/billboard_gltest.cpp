// BillBoard on a real Mesa context: what load leaves in GL (one texture name,
// reused; filters; mip levels), that nothing is drawn unless a load
// succeeded, the calls of one render, and where each part of a photograph
// lands on screen for the wall's and the floor's placement.
#include "scene/billboard.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>

#include "graphics/extensions.h"
#include "graphics/gl_wrappers.h"
#include "tests/scene/photo_files.h"
#include "tests/support/call_order.h"
#include "tests/support/gl_context.h"
#include "tests/support/gl_recorder.h"
#include "tests/support/glut_session.h"
#include "tests/support/temp_file.h"

namespace {

using scenetest::Quadrants;
using scenetest::Rgb;
using testsupport::CallRecorder;
using testsupport::glCall;
using testsupport::inOrder;
using testsupport::OffscreenTarget;

const Quadrants kWallColours{{220, 40, 30}, {30, 200, 60}, {40, 60, 230}, {240, 220, 40}};
const Quadrants kOtherColours{{200, 40, 200}, {40, 210, 210}, {250, 250, 250}, {10, 10, 10}};

// The two placements of the scene: the back wall and the floor.
const libgr::grRect kSquare({-256.0f, -256.0f}, {256.0f, 256.0f});
const libgr::grFrame kWall(libgr::grRotation(0.0f, 0.0f, 0.0f, 1.0f), {0.0f, 0.0f, -256.0f});
const libgr::grFrame kFloor(libgr::grRotation(-90.0f, 1.0f, 0.0f, 0.0f), {0.0f, -256.0f, 0.0f});

class BillBoardTest : public testsupport::GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    ASSERT_FALSE(folder.path().empty());
  }
  std::string file(const char* name) const { return folder.file(name); }

  testsupport::TempFolder folder{"billboard"};
};

GLint boundTexture2D() {
  GLint name = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
  return name;
}
GLint texParameter(GLenum name) {
  GLint value = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
  return value;
}
GLint levelWidth(GLint level) {
  GLint width = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &width);
  return width;
}

::testing::AssertionResult closeTo(const std::array<uint8_t, 4>& got, const Rgb& want,
                                   int tolerance = 6) {
  for (int i = 0; i < 3; ++i) {
    if (std::abs(int(got[i]) - want[i]) > tolerance) {
      return ::testing::AssertionFailure()
             << "got (" << int(got[0]) << ", " << int(got[1]) << ", " << int(got[2]) << "), want ("
             << want[0] << ", " << want[1] << ", " << want[2] << ")";
    }
  }
  return ::testing::AssertionSuccess();
}

// Unlit, untinted drawing, so the screen shows the texture's own colours,
// through a 512-unit square orthographic view down -z from the origin whose
// near plane is `near`; the model-view matrix reset and current.
void plainView(double near) {
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-256, 256, -256, 256, near, 1000);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

// The square exactly fills a 64 x 64 target: the four pixel blocks of 32 x 32
// are the picture's quadrants. (x, y) counted from the bottom as in GL.
void expectQuadrants(const OffscreenTarget& target, const Quadrants& q) {
  EXPECT_TRUE(closeTo(target.pixel(16, 48), q.topLeft)) << "top-left";
  EXPECT_TRUE(closeTo(target.pixel(48, 48), q.topRight)) << "top-right";
  EXPECT_TRUE(closeTo(target.pixel(16, 16), q.bottomLeft)) << "bottom-left";
  EXPECT_TRUE(closeTo(target.pixel(48, 16), q.bottomRight)) << "bottom-right";
}

TEST_F(BillBoardTest, drawsNothingWithoutASuccessfulLoad) {
  ASSERT_TRUE(scenetest::writeTruncatedBmp(file("truncated.bmp"), kWallColours));
  ASSERT_TRUE(scenetest::writeNotABmp(file("text.bmp")));
  ASSERT_TRUE(scenetest::writeFile(file("empty.bmp"), {}));

  BillBoard quad;
  {
    CallRecorder rec;
    quad.render();
    EXPECT_TRUE(rec.calls().empty()) << "before any load:\n" << rec.dump();
  }
  for (const char* name : {"missing.bmp", "truncated.bmp", "text.bmp", "empty.bmp"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(quad.load(file(name).c_str(), kWall, kSquare));
    EXPECT_FALSE(quad.loaded);
    EXPECT_NE(quad.failure, "") << "no reason given";
    EXPECT_FALSE(quad.photo.object().isLoaded()) << "a broken file reached the texture";
    CallRecorder rec;
    quad.render();
    EXPECT_TRUE(rec.calls().empty()) << rec.dump();
  }
}

TEST_F(BillBoardTest, aFailedReloadHidesTheEarlierPicture) {
  ASSERT_TRUE(scenetest::writeQuadrantBmp(file("wall.bmp"), 64, 64, kWallColours));
  BillBoard quad;
  ASSERT_TRUE(quad.load(file("wall.bmp").c_str(), kWall, kSquare));
  EXPECT_EQ(quad.failure, "");
  EXPECT_EQ(quad.flaw, "");
  EXPECT_FALSE(quad.load(file("missing.bmp").c_str(), kWall, kSquare));
  EXPECT_EQ(quad.failure, "not found");
  CallRecorder rec;
  quad.render();
  EXPECT_TRUE(rec.calls().empty()) << rec.dump();
}

TEST_F(BillBoardTest, aDamagedFileThatIsStillShownNamesItsFlaw) {
  std::vector<uint8_t> bytes = scenetest::quadrantBmp(64, 64, kWallColours);
  bytes[26] = 3;  // biPlanes, which must be 1
  ASSERT_TRUE(scenetest::writeFile(file("planes.bmp"), bytes));
  BillBoard quad;
  EXPECT_TRUE(quad.load(file("planes.bmp").c_str(), kWall, kSquare));
  EXPECT_NE(quad.flaw, "");
  EXPECT_EQ(quad.failure, "");
}

TEST_F(BillBoardTest, loadMakesOneMipmappedTextureAndReusesItsName) {
  ASSERT_TRUE(scenetest::writeQuadrantBmp(file("wall.bmp"), 64, 64, kWallColours));
  ASSERT_TRUE(scenetest::writeQuadrantBmp(file("other.bmp"), 30, 30, kOtherColours));

  BillBoard quad;
  CallRecorder rec;
  ASSERT_TRUE(quad.load(file("wall.bmp").c_str(), kWall, kSquare));
  const GLuint name = quad.photo.object().name();
  EXPECT_TRUE(glIsTexture(name));
  EXPECT_EQ(boundTexture2D(), GLint(name));
  EXPECT_EQ(texParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
  EXPECT_EQ(texParameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
  EXPECT_EQ(texParameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
  EXPECT_EQ(texParameter(GL_TEXTURE_WRAP_T), GL_REPEAT);
  EXPECT_EQ(levelWidth(0), 64);
  EXPECT_EQ(levelWidth(6), 1) << "the mipmap chain goes down to 1 x 1";
  EXPECT_EQ(quad.frame.position.z, -256.0f);
  EXPECT_EQ(quad.rect.maxX, 256.0f);

  // A second picture, of another size, goes under the same name.
  ASSERT_TRUE(quad.load(file("other.bmp").c_str(), kFloor, kSquare));
  rec.stop();
  EXPECT_EQ(rec.count("glGenTextures"), 1u) << rec.dump();
  EXPECT_EQ(quad.photo.object().name(), name);
  EXPECT_TRUE(glIsTexture(name));
  EXPECT_EQ(levelWidth(0), 32) << "the 30-pixel picture, scaled to a power of two";
  EXPECT_EQ(quad.frame.position.y, -256.0f);

  // The reloaded texture shows the second picture only.
  OffscreenTarget target(64, 64);
  plainView(-1000);
  glRotatef(90.0f, 1.0f, 0.0f, 0.0f);  // look down onto the floor
  glTranslatef(0.0f, 256.0f, 0.0f);
  quad.render();
  expectQuadrants(target, kOtherColours);
}

// With automatic mipmap generation the level-0 size comes from the texture's
// size record, which only grows: a reload must not keep the old picture's.
TEST_F(BillBoardTest, aReloadIsSizedByTheNewPictureAlone) {
  // The flags are process-wide, and the scene itself never probes.
  struct ProbesOffAfterwards {
    ~ProbesOffAfterwards() { libgr::grHasGenerateMipmap = libgr::grHasAnisotropy = false; }
  } probesOff;
  ASSERT_TRUE(libgr::probeGenerateMipmap());
  ASSERT_TRUE(libgr::probeAnisotropicFilter());
  ASSERT_TRUE(scenetest::writeQuadrantBmp(file("wall.bmp"), 64, 64, kWallColours));
  ASSERT_TRUE(scenetest::writeQuadrantBmp(file("small.bmp"), 16, 16, kOtherColours));

  BillBoard quad;
  ASSERT_TRUE(quad.load(file("wall.bmp").c_str(), kWall, kSquare));
  ASSERT_TRUE(quad.load(file("small.bmp").c_str(), kWall, kSquare));
  EXPECT_EQ(levelWidth(0), 16);
  GLfloat anisotropy = 0.0f;
  glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, &anisotropy);
  EXPECT_EQ(anisotropy, 1.0f) << "photographs ask for no anisotropic filtering";

  OffscreenTarget target(64, 64);
  plainView(0);
  quad.render();
  expectQuadrants(target, kOtherColours);
}

TEST_F(BillBoardTest, destroyingTheQuadDeletesItsTexture) {
  ASSERT_TRUE(scenetest::writeQuadrantBmp(file("wall.bmp"), 64, 64, kWallColours));
  GLuint name = 0;
  {
    BillBoard quad;
    ASSERT_TRUE(quad.load(file("wall.bmp").c_str(), kWall, kSquare));
    name = quad.photo.object().name();
    ASSERT_TRUE(glIsTexture(name));
  }
  EXPECT_FALSE(glIsTexture(name));
}

TEST_F(BillBoardTest, wallShowsThePictureUprightAndUnmirrored) {
  // 30 pixels wide: rows carry 2 bytes of padding, which must not shear them.
  ASSERT_TRUE(scenetest::writeQuadrantBmp(file("wall.bmp"), 30, 30, kWallColours));
  BillBoard quad;
  ASSERT_TRUE(quad.load(file("wall.bmp").c_str(), kWall, kSquare));

  OffscreenTarget target(64, 64);
  plainView(0);  // looking down -z from the origin
  quad.render();
  expectQuadrants(target, kWallColours);
}

TEST_F(BillBoardTest, floorLiesWithItsTopEdgeAgainstTheWall) {
  ASSERT_TRUE(scenetest::writeQuadrantBmp(file("floor.bmp"), 64, 64, kOtherColours));
  BillBoard quad;
  ASSERT_TRUE(quad.load(file("floor.bmp").c_str(), kFloor, kSquare));

  OffscreenTarget target(64, 64);
  plainView(-1000);
  // Seen from straight above with the far side (z = -256, the wall) at the
  // top of the target, the picture reads as it would on the wall.
  glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
  quad.render();
  expectQuadrants(target, kOtherColours);
}

TEST_F(BillBoardTest, floorFacesTheLightFromAboveAndTheWallDoesNot) {
  const Quadrants white{{255, 255, 255}, {255, 255, 255}, {255, 255, 255}, {255, 255, 255}};
  ASSERT_TRUE(scenetest::writeQuadrantBmp(file("white.bmp"), 16, 16, white));
  BillBoard wall, floor;
  ASSERT_TRUE(wall.load(file("white.bmp").c_str(), kWall, kSquare));
  ASSERT_TRUE(floor.load(file("white.bmp").c_str(), kFloor, kSquare));

  OffscreenTarget target(64, 64);
  plainView(-1000);  // the wall seen from the front
  // Directional light from +y, no ambient part: only a surface whose normal
  // points up is lit at all. Like the scene, the light is set after the view.
  const libgr::grVec3 fromAbove{0.0f, 1.0f, 0.0f};
  const libgr::grVec4 none{0.0f, 0.0f, 0.0f, 1.0f};
  const libgr::grVec4 full{1.0f, 1.0f, 1.0f, 1.0f};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none.data());
  libgr::grLight(GL_LIGHT0, GL_AMBIENT, none);
  libgr::grLight(GL_LIGHT0, GL_DIFFUSE, full);
  libgr::grLight(GL_LIGHT0, GL_SPECULAR, none);
  libgr::grMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, full);
  glEnable(GL_LIGHT0);
  glEnable(GL_LIGHTING);
  libgr::grLightPosition(GL_LIGHT0, fromAbove);
  wall.render();
  EXPECT_TRUE(closeTo(target.pixel(32, 32), {0, 0, 0})) << "the wall is edge-on to the light";

  glClear(GL_COLOR_BUFFER_BIT);
  glLoadIdentity();
  glRotatef(90.0f, 1.0f, 0.0f, 0.0f);  // the floor seen from above
  libgr::grLightPosition(GL_LIGHT0, fromAbove);
  floor.render();
  EXPECT_TRUE(closeTo(target.pixel(32, 32), {255, 255, 255})) << "the floor faces the light";
  glDisable(GL_LIGHTING);
}

TEST_F(BillBoardTest, renderPlacesTexturesAndRestoresTheMatrixAndTexturing) {
  ASSERT_TRUE(scenetest::writeQuadrantBmp(file("wall.bmp"), 64, 64, kWallColours));
  BillBoard quad;
  ASSERT_TRUE(quad.load(file("wall.bmp").c_str(), kWall, kSquare));
  const GLuint name = quad.photo.object().name();

  OffscreenTarget target(16, 16);
  glMatrixMode(GL_PROJECTION);  // render switches to the model-view matrix
  CallRecorder rec;
  quad.render();
  rec.stop();
  const std::vector<std::string> expected = {
      glCall("glMatrixMode", GLenum(GL_MODELVIEW)),
      glCall("glPushMatrix"),
      glCall("glTranslatef", 0.0f, 0.0f, -256.0f),
      glCall("glEnable", GLenum(GL_TEXTURE_2D)),
      glCall("glTexEnvi", GLenum(GL_TEXTURE_ENV), GLenum(GL_TEXTURE_ENV_MODE), GLint(GL_MODULATE)),
      glCall("glBindTexture", GLenum(GL_TEXTURE_2D), name),
      glCall("glBegin", GLenum(GL_QUADS)),
      glCall("glNormal3f", 0.0f, 0.0f, 1.0f),
      glCall("glTexCoord2f", 0.0f, 0.0f),
      glCall("glVertex2f", -256.0f, -256.0f),
      glCall("glTexCoord2f", 1.0f, 0.0f),
      glCall("glVertex2f", 256.0f, -256.0f),
      glCall("glTexCoord2f", 1.0f, 1.0f),
      glCall("glVertex2f", 256.0f, 256.0f),
      glCall("glTexCoord2f", 0.0f, 1.0f),
      glCall("glVertex2f", -256.0f, 256.0f),
      glCall("glEnd"),
      glCall("glFlush"),
      glCall("glDisable", GLenum(GL_TEXTURE_2D)),
      glCall("glPopMatrix"),
  };
  EXPECT_EQ(rec.calls(), expected) << rec.dump();

  GLint mode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_MODELVIEW);
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  GLfloat modelView[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
  EXPECT_EQ(modelView[14], 0.0f) << "the quad's translation was left on the matrix";
}

TEST_F(BillBoardTest, onlyTheFloorIsRotated) {
  ASSERT_TRUE(scenetest::writeQuadrantBmp(file("photo.bmp"), 16, 16, kWallColours));
  BillBoard wall, floor;
  ASSERT_TRUE(wall.load(file("photo.bmp").c_str(), kWall, kSquare));
  ASSERT_TRUE(floor.load(file("photo.bmp").c_str(), kFloor, kSquare));

  OffscreenTarget target(16, 16);
  CallRecorder rec;
  wall.render();
  EXPECT_EQ(rec.count("glRotatef"), 0u) << rec.dump();
  rec.clear();
  floor.render();
  rec.stop();
  EXPECT_EQ(rec.count("glRotatef"), 1u) << rec.dump();
  EXPECT_TRUE(inOrder(rec.calls(), {glCall("glTranslatef", 0.0f, -256.0f, 0.0f),
                                    glCall("glRotatef", -90.0f, 1.0f, 0.0f, 0.0f),
                                    glCall("glBegin", GLenum(GL_QUADS))}));
}

}  // namespace
