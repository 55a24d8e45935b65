// Replays the kept fuzzing corpus (tests/fuzz_corpus: inputs that reached
// new code, and the ones that once broke the upload) through the path the
// photograph quads use: read, then the quads' own upload recipe. Each must leave no
// GL error and the pixel-store and colour-map state as it found them; under
// the sanitizer build each also runs with ASan and UBSan watching.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "photo/photo_texture.h"
#include "tests/support/gl_context.h"

namespace {

namespace fs = std::filesystem;
using testsupport::glInteger;

class FuzzCorpus : public testsupport::GLTest {};

TEST_F(FuzzCorpus, everyKeptInputUploadsCleanly) {
  const char* source = std::getenv("BRELVANE_SOURCE_DIR");
  ASSERT_NE(source, nullptr) << "BRELVANE_SOURCE_DIR is not set (CTest sets it)";
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(fs::path(source) / "tests" / "fuzz_corpus"))
    files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  ASSERT_GE(files.size(), 4u);

  const GLint alignment = glInteger(GL_UNPACK_ALIGNMENT);
  int uploaded = 0;
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    libgr::grPhotoTexture photo;
    if (photo.load(file.c_str())) ++uploaded;
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_EQ(glInteger(GL_CLIENT_ATTRIB_STACK_DEPTH), 0);
    EXPECT_EQ(glInteger(GL_MAP_COLOR), 0);
    EXPECT_EQ(glInteger(GL_UNPACK_ALIGNMENT), alignment);
  }
  // Most kept inputs are pictures the reader accepts.
  EXPECT_GE(uploaded, int(files.size()) / 2);
}

}  // namespace
