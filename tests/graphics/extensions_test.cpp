// Extension-name matching on literal lists, and hasExtension without a
// current GL context (this process never makes one).
#include <gtest/gtest.h>

#include "graphics/extensions.h"
#include "tests/support/gl_recorder.h"

using libgr::extensionListHas;
using libgr::hasExtension;
using testsupport::CallRecorder;

// Whole space-separated words only, anywhere in the list; a name that only
// starts or ends a longer word is not there, and an earlier such occurrence
// must not end the search.
TEST(ExtensionListHas, MatchesWholeWordsAnywhereInTheList) {
  struct Case {
    const char* list;
    const char* name;
    bool listed;
  };
  const Case cases[] = {
      {"GL_EXT_texture3Dx GL_EXT_texture3D", "GL_EXT_texture3D", true},
      {"GL_A GL_EXT_texture3Dx GL_EXT_texture3D GL_B", "GL_EXT_texture3D", true},
      {"GL_A GL_EXT_texture3Dx GL_B", "GL_EXT_texture3D", false},  // only starts a name
      {"GL_A XGL_EXT_texture3D GL_B", "GL_EXT_texture3D", false},  // only ends a name
      {"XGL_EXT_texture3D", "GL_EXT_texture3D", false},
      {"XGL_SGIS_generate_mipmap GL_SGIS_generate_mipmap", "GL_SGIS_generate_mipmap", true},
      {"GL_X", "GL_X", true},
      {"GL_X GL_Y", "GL_X", true},
      {"GL_Y GL_X", "GL_X", true},
      {"GL_Y GL_X ", "GL_X", true},
      {"GL_Y GL_XY", "GL_X", false},
      {"", "GL_X", false},
      // A failed occurrence overlaps the next one: that one starts mid-word.
      {"aaa", "aa", false},
      {"xx", "x", false},
      {"aaa aa", "aa", true},
      // Empty names and names with spaces are never listed; null lists hold nothing.
      {"GL_X GL_Y", "", false},
      {"GL_X GL_Y", "GL_X GL_Y", false},
      {"GL_X GL_Y", " GL_Y", false},
      {nullptr, "GL_X", false},
      {"GL_X", nullptr, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(extensionListHas(c.list, c.name), c.listed)
        << '"' << (c.list ? c.list : "(null)") << "\" has \"" << (c.name ? c.name : "(null)")
        << '"';
  }
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
