// Extension-name matching on literal lists, and hasExtension without a
// current GL context (this process never makes one).
#include <gtest/gtest.h>

#include "graphics/extensions.h"
#include "tests/support/gl_recorder.h"

using libgr::extensionListHas;
using libgr::hasExtension;
using testsupport::CallRecorder;

TEST(ExtensionListHas, MatchesWholeWordsOnly) {
  // A first occurrence that only starts a longer name must not end the search.
  EXPECT_TRUE(extensionListHas("GL_EXT_texture3Dx GL_EXT_texture3D", "GL_EXT_texture3D"));
  EXPECT_TRUE(extensionListHas("GL_A GL_EXT_texture3Dx GL_EXT_texture3D GL_B", "GL_EXT_texture3D"));
  // Only as the start of a longer name.
  EXPECT_FALSE(extensionListHas("GL_A GL_EXT_texture3Dx GL_B", "GL_EXT_texture3D"));
  // Only inside a longer word.
  EXPECT_FALSE(extensionListHas("GL_A XGL_EXT_texture3D GL_B", "GL_EXT_texture3D"));
  EXPECT_FALSE(extensionListHas("XGL_EXT_texture3D", "GL_EXT_texture3D"));
  // Inside and then whole.
  EXPECT_TRUE(extensionListHas("XGL_SGIS_generate_mipmap GL_SGIS_generate_mipmap",
                               "GL_SGIS_generate_mipmap"));
}

TEST(ExtensionListHas, MatchesAtEitherEndOfTheList) {
  EXPECT_TRUE(extensionListHas("GL_X", "GL_X"));
  EXPECT_TRUE(extensionListHas("GL_X GL_Y", "GL_X"));
  EXPECT_TRUE(extensionListHas("GL_Y GL_X", "GL_X"));
  EXPECT_TRUE(extensionListHas("GL_Y GL_X ", "GL_X"));
  EXPECT_FALSE(extensionListHas("GL_Y GL_XY", "GL_X"));
  EXPECT_FALSE(extensionListHas("", "GL_X"));
}

TEST(ExtensionListHas, RejectsEmptyNamesNamesWithSpacesAndNullLists) {
  EXPECT_FALSE(extensionListHas("GL_X GL_Y", ""));
  EXPECT_FALSE(extensionListHas("GL_X GL_Y", "GL_X GL_Y"));
  EXPECT_FALSE(extensionListHas("GL_X GL_Y", " GL_Y"));
  EXPECT_FALSE(extensionListHas(nullptr, "GL_X"));
  EXPECT_FALSE(extensionListHas("GL_X", nullptr));
}

TEST(HasExtension, BadNamesAnswerFalseWithoutAskingGL) {
  CallRecorder rec;
  EXPECT_FALSE(hasExtension(""));
  EXPECT_FALSE(hasExtension("GL_ARB_texture_compression GL_EXT_texture3D"));
  EXPECT_FALSE(hasExtension(nullptr));
  EXPECT_EQ(rec.count("glGetString"), 0u) << rec.dump();
}

TEST(HasExtension, AnswersFalseWithoutACurrentContext) {
  CallRecorder rec;
  EXPECT_FALSE(hasExtension("GL_ARB_texture_compression"));
  // It did ask: the null answer is what made it false.
  EXPECT_EQ(rec.count("glGetString"), 1u) << rec.dump();
}
