// The photographs attached to the application: init creates both quads from
// the two files in the working directory, placed as back wall and floor (and
// keeps them, loaded or not); each frame draws the wall, then the floor,
// inside the frame's attribute scope.
#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "framework/gluty_registry.h"
#include "scene/billboard.h"
#include "scene/brelvane.h"
#include "tests/scene/photo_files.h"
#include "tests/support/call_order.h"
#include "tests/support/gl_context.h"
#include "tests/support/gl_recorder.h"
#include "tests/support/glut_session.h"
#include "tests/support/temp_file.h"

namespace {

using testsupport::CallRecorder;
using testsupport::glCall;
using testsupport::inOrder;
using testsupport::OffscreenTarget;

const scenetest::Quadrants kColours{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}};

// Runs the application's init in a scratch working directory, where the
// test puts (or leaves out) the photographs.
class PhotographsTest : public testsupport::OpenedApp<Brelvane> {
 protected:
  void SetUp() override {
    OpenedApp::SetUp();
    ASSERT_FALSE(folder.path().empty());
    inFolder = std::make_unique<testsupport::WorkingFolderScope>(folder.path());
  }

  testsupport::TempFolder folder{"photographs"};
  std::unique_ptr<testsupport::WorkingFolderScope> inFolder;  // left before the folder goes
};

TEST_F(PhotographsTest, initLoadsTheWallAndTheFloorFromTheirFiles) {
  ASSERT_TRUE(scenetest::writeQuadrantBmp("p6155961.bmp", 64, 64, kColours));
  ASSERT_TRUE(scenetest::writeQuadrantBmp("p6155955.bmp", 32, 32, kColours));
  open();
  ASSERT_NE(app->photoUpright, nullptr);
  ASSERT_NE(app->photoFloor, nullptr);
  EXPECT_TRUE(app->photoUpright->loaded);
  EXPECT_TRUE(app->photoFloor->loaded);
  EXPECT_NE(app->photoUpright->photo.object().name(), app->photoFloor->photo.object().name());

  // Each quad holds the picture of its own file (the two differ in size).
  glBindTexture(GL_TEXTURE_2D, app->photoUpright->photo.object().name());
  GLint width = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  EXPECT_EQ(width, 64);
  glBindTexture(GL_TEXTURE_2D, app->photoFloor->photo.object().name());
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  EXPECT_EQ(width, 32);
  glBindTexture(GL_TEXTURE_2D, 0);

  const libgr::grRect& rect = app->photoFloor->rect;
  EXPECT_EQ((std::array<float, 4>{rect.minX, rect.minY, rect.maxX, rect.maxY}),
            (std::array<float, 4>{-256.0f, -256.0f, 256.0f, 256.0f}));
  EXPECT_EQ(app->photoUpright->frame.position.z, -256.0f);
  EXPECT_FALSE(libgr::isNonIdentity(app->photoUpright->frame.rotation));
  EXPECT_EQ(app->photoFloor->frame.position.y, -256.0f);
  EXPECT_EQ(app->photoFloor->frame.rotation.angle, -90.0f);
  EXPECT_EQ(app->photoFloor->frame.rotation.axis.x, 1.0f);
}

TEST_F(PhotographsTest, eachFrameDrawsTheWallThenTheFloorInsideTheAttributeScope) {
  ASSERT_TRUE(scenetest::writeQuadrantBmp("p6155961.bmp", 16, 16, kColours));
  ASSERT_TRUE(scenetest::writeQuadrantBmp("p6155955.bmp", 16, 16, kColours));
  open();
  OffscreenTarget target(640, 480);
  app->reshape(640, 480);

  CallRecorder rec;
  app->display();
  rec.stop();
  const GLuint wall = app->photoUpright->photo.object().name();
  const GLuint floor = app->photoFloor->photo.object().name();
  EXPECT_TRUE(inOrder(
      rec.calls(),
      {glCall("glPushAttrib", GLenum(GL_ALL_ATTRIB_BITS)), glCall("glEnable", GLenum(GL_LIGHTING)),
       glCall("glColor4fv", "ptr"), glCall("glBindTexture", GLenum(GL_TEXTURE_2D), wall),
       glCall("glBindTexture", GLenum(GL_TEXTURE_2D), floor),
       glCall("glDisable", GLenum(GL_LIGHTING)), glCall("glPopAttrib")}));
  EXPECT_EQ(rec.count("glBegin"), 2u) << rec.dump();
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(PhotographsTest, missingFilesLeaveBothQuadsInPlaceDrawingNothing) {
  ASSERT_TRUE(scenetest::writeNotABmp("p6155955.bmp"));
  open();
  ASSERT_NE(app->photoUpright, nullptr);
  ASSERT_NE(app->photoFloor, nullptr);
  EXPECT_FALSE(app->photoUpright->loaded);
  EXPECT_FALSE(app->photoFloor->loaded);

  OffscreenTarget target(640, 480);
  app->reshape(640, 480);
  CallRecorder rec;
  app->display();
  rec.stop();
  EXPECT_EQ(rec.count("glBegin"), 0u) << rec.dump();
  EXPECT_EQ(rec.count("glBindTexture"), 0u) << rec.dump();
}

}  // namespace
