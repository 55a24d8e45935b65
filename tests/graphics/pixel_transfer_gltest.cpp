// Pixel-store and unpack application, the per-image unpack scope and the
// colour-map guard, on a real context.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <stdexcept>
#include <vector>

#include "graphics/pixel_transfer.h"
#include "tests/support/gl_context.h"
#include "tests/support/gl_recorder.h"

using namespace libgr;
using testsupport::CallRecorder;
using testsupport::glCall;

namespace {

class PixelTransfer : public testsupport::GLTest {};

GLint integer(GLenum name) {
  GLint value = -1;
  glGetIntegerv(name, &value);
  return value;
}

grColorMaps maps(uint32_t count) {
  grColorMaps result;
  result.setSize(count);
  for (uint32_t i = 0; i < count; ++i) {
    *result.red.at(i) = static_cast<unsigned short>(i * 3);
    *result.green.at(i) = static_cast<unsigned short>(65535 - i);
    *result.blue.at(i) = static_cast<unsigned short>(i * 7);
  }
  return result;
}

}  // namespace

TEST_F(PixelTransfer, PixelStoreSetsSwapThenAlignmentAndNullLeavesBoth) {
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  {
    CallRecorder rec;
    applyPixelStore(nullptr);
    EXPECT_TRUE(rec.calls().empty()) << rec.dump();
  }
  const grPixelStore store{true, 2};
  CallRecorder rec;
  applyPixelStore(&store);
  EXPECT_EQ(rec.calls(), (std::vector<std::string>{
                             glCall("glPixelStorei", GLenum(GL_UNPACK_SWAP_BYTES), GLint(1)),
                             glCall("glPixelStorei", GLenum(GL_UNPACK_ALIGNMENT), GLint(2))}));
  EXPECT_EQ(integer(GL_UNPACK_SWAP_BYTES), 1);
  EXPECT_EQ(integer(GL_UNPACK_ALIGNMENT), 2);
  glPixelStorei(GL_UNPACK_SWAP_BYTES, 0);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

TEST_F(PixelTransfer, UnpackRecordsSetTheirParametersInFieldOrderZerosIncluded) {
  CallRecorder rec;
  applyUnpack(grUnpack1D{});
  applyUnpack(grUnpack2D{});
  applyUnpack(grUnpack3D{});
  const auto store = [](GLenum name) { return glCall("glPixelStorei", name, GLint(0)); };
  EXPECT_EQ(
      rec.calls(),
      (std::vector<std::string>{
          store(GL_UNPACK_SKIP_PIXELS), store(GL_UNPACK_ROW_LENGTH), store(GL_UNPACK_SKIP_PIXELS),
          store(GL_UNPACK_SKIP_ROWS), store(GL_UNPACK_ROW_LENGTH), store(GL_UNPACK_IMAGE_HEIGHT),
          store(GL_UNPACK_SKIP_PIXELS), store(GL_UNPACK_SKIP_ROWS), store(GL_UNPACK_SKIP_IMAGES)}));
}

TEST_F(PixelTransfer, UnpackValuesReachGLAndTheScopePutsThePreviousOnesBack) {
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 7);
  const grPixelStore store{false, 1};
  grUnpack3D unpack;
  unpack.rowLength = 11;
  unpack.imageHeight = 12;
  unpack.skipPixels = 13;
  unpack.skipRows = 14;
  unpack.skipImages = 15;
  {
    grUnpackScope scope(&store, unpack);
    EXPECT_EQ(integer(GL_UNPACK_ROW_LENGTH), 11);
    EXPECT_EQ(integer(GL_UNPACK_IMAGE_HEIGHT), 12);
    EXPECT_EQ(integer(GL_UNPACK_SKIP_PIXELS), 13);
    EXPECT_EQ(integer(GL_UNPACK_SKIP_ROWS), 14);
    EXPECT_EQ(integer(GL_UNPACK_SKIP_IMAGES), 15);
    EXPECT_EQ(integer(GL_UNPACK_ALIGNMENT), 1);
  }
  EXPECT_EQ(integer(GL_UNPACK_ROW_LENGTH), 7);
  EXPECT_EQ(integer(GL_UNPACK_SKIP_IMAGES), 0);
  EXPECT_EQ(integer(GL_UNPACK_ALIGNMENT), 4);
  // Thrown through: the pop still happens.
  try {
    grUnpackScope scope(&store, grUnpack2D{3, 4, 5});
    throw std::runtime_error("midway");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(integer(GL_UNPACK_ROW_LENGTH), 7);
  EXPECT_EQ(integer(GL_UNPACK_ALIGNMENT), 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

TEST_F(PixelTransfer, ColorMapsOfPowerOfTwoSizeAreLoadedAndSwitchMappingOn) {
  const grColorMaps palette = maps(256);
  grColorMapGuard guard;
  guard.apply(palette);
  EXPECT_TRUE(guard.active());
  EXPECT_EQ(integer(GL_MAP_COLOR), 1);
  EXPECT_EQ(integer(GL_PIXEL_MAP_I_TO_R_SIZE), 256);
  EXPECT_EQ(integer(GL_PIXEL_MAP_I_TO_B_SIZE), 256);
  std::vector<GLushort> red(256), green(256), blue(256);
  glGetPixelMapusv(GL_PIXEL_MAP_I_TO_R, red.data());
  glGetPixelMapusv(GL_PIXEL_MAP_I_TO_G, green.data());
  glGetPixelMapusv(GL_PIXEL_MAP_I_TO_B, blue.data());
  EXPECT_EQ(red[100], 300);
  EXPECT_EQ(green[100], 65435);
  EXPECT_EQ(blue[255], 255 * 7);
  CallRecorder rec;
  guard.restore();
  EXPECT_EQ(rec.calls(),
            (std::vector<std::string>{glCall("glPixelTransferi", GLenum(GL_MAP_COLOR), GLint(0))}));
  EXPECT_EQ(integer(GL_MAP_COLOR), 0);
  guard.restore();  // once only
  EXPECT_EQ(rec.count("glPixelTransferi"), 1u) << rec.dump();
}

TEST_F(PixelTransfer, OtherMapSizesLeaveMappingUntouched) {
  for (uint32_t count : {0u, 3u, 512u}) {  // 512 is past Mesa's table limit of 256
    grColorMapGuard guard;
    CallRecorder rec;
    guard.apply(maps(count));
    EXPECT_FALSE(guard.active()) << count;
    EXPECT_EQ(rec.count("glPixelTransferi"), 0u) << rec.dump();
    EXPECT_EQ(rec.count("glPixelMapusv"), 0u) << rec.dump();
    guard.restore();
    EXPECT_EQ(rec.count("glPixelTransferi"), 0u) << rec.dump();
  }
  EXPECT_EQ(integer(GL_MAP_COLOR), 0);
}

TEST_F(PixelTransfer, MapsShorterThanTheirCountAreNotHandedToGL) {
  grColorMaps shortMaps = maps(4);
  shortMaps.count = 8;  // claims more entries than the tables hold
  grColorMapGuard guard;
  CallRecorder rec;
  guard.apply(shortMaps);
  EXPECT_FALSE(guard.active());
  EXPECT_EQ(rec.count("glPixelMapusv"), 0u) << rec.dump();
}

TEST_F(PixelTransfer, GuardDestructorSwitchesMappingOffEvenWhenUnwinding) {
  const grColorMaps palette = maps(2);
  {
    grColorMapGuard guard;
    guard.apply(palette);
    EXPECT_EQ(integer(GL_MAP_COLOR), 1);
  }
  EXPECT_EQ(integer(GL_MAP_COLOR), 0);
  try {
    grColorMapGuard guard;
    guard.apply(palette);
    throw std::runtime_error("midway");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(integer(GL_MAP_COLOR), 0);
}
