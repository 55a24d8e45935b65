// The format table: what each signature is told as (known answers, the
// ISO media brands above all), what a format this build leaves out is
// refused with, and that a file reads the same from memory as from its
// path. Every check walks photoFormats(), so a build with formats left out
// (the minimal preset) runs the same tests and expects their refusals.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "photo/photo_file.h"
#include "photo/photo_format.h"

using namespace libgr;

namespace {

using Bytes = std::vector<unsigned char>;

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

// An ISO media file's ftyp box: size, "ftyp", major brand, minor version,
// compatible brands.
Bytes ftyp(const std::string& major, const std::vector<std::string>& compatible) {
  std::string box = std::string(4, '\0') + "ftyp" + major + std::string(4, '\0');
  for (const std::string& brand : compatible) box += brand;
  box[3] = char(box.size());
  return bytesOf(box + std::string("\0\0\0\x08mdat", 8));
}

grPhotoFormatInfo infoOf(grPhotoFormat format) {
  for (const grPhotoFormatInfo& info : photoFormats())
    if (info.format == format) return info;
  ADD_FAILURE() << "no table row for format " << int(format);
  return {};
}

std::string dataFolder() {
  const char* source = std::getenv("BRELVANE_SOURCE_DIR");
  return std::string(source ? source : ".") + "/tests/data/";
}

TEST(PhotoFormat, signaturesAreToldByContent) {
  using F = grPhotoFormat;
  const struct {
    const char* what;
    Bytes bytes;
    F format;
  } cases[] = {
      {"BMP", bytesOf("BM\x36\0\0\0"), F::bmp},
      {"JPEG", {0xFF, 0xD8, 0xFF, 0xE0}, F::jpeg},
      {"PNG", bytesOf("\x89PNG\r\n\x1A\n"), F::png},
      {"PNG through a text-mode transfer", bytesOf("\x89PNG\n\x1A\n"), F::damagedPng},
      {"GIF87a", bytesOf("GIF87a"), F::gif},
      {"GIF89a", bytesOf("GIF89a"), F::gif},
      {"WebP", bytesOf(std::string("RIFF\x10\0\0\0WEBPVP8 ", 16)), F::webp},
      {"RIFF that is not WebP", bytesOf(std::string("RIFF\x10\0\0\0WAVEfmt ", 16)), F::unknown},
      {"TIFF, Intel order", bytesOf(std::string("II*\0", 4)), F::tiff},
      {"TIFF, Motorola order", bytesOf(std::string("MM\0*", 4)), F::tiff},
      {"BigTIFF, Intel order", bytesOf(std::string("II+\0\x08\0\0\0", 8)), F::tiff},
      {"BigTIFF, Motorola order", bytesOf(std::string("MM\0+\0\x08\0\0", 8)), F::tiff},
      {"JPEG XL codestream", {0xFF, 0x0A, 0xFA, 0x7F}, F::jpegXl},
      {"JPEG XL container", bytesOf(std::string("\0\0\0\x0CJXL \r\n\x87\n", 12)), F::jpegXl},
      {"AVIF", ftyp("avif", {"mif1", "miaf"}), F::avif},
      {"AVIF sequence", ftyp("avis", {"msf1", "avif"}), F::avif},
      {"AVIF under a HEIF major brand", ftyp("mif1", {"mif1", "avif", "miaf"}), F::avif},
      {"HEIC", ftyp("heic", {"mif1", "heic"}), F::heif},
      {"HEIF by its compatible brand only", ftyp("isom", {"mp41", "heix"}), F::heif},
      {"plain MP4", ftyp("isom", {"isom", "mp41"}), F::unknown},
      {"ftyp to the end of the file", bytesOf(std::string("\0\0\0\0ftypmif1\0\0\0\0avif", 20)),
       F::avif},
      {"ftyp of a 64-bit size",
       bytesOf(std::string("\0\0\0\1ftyp\0\0\0\0\0\0\0\x20heic\0\0\0\0mif1heic", 32)), F::heif},
      {"empty", {}, F::unknown},
      {"one byte", {'B'}, F::unknown},
      {"text", bytesOf("hello, world"), F::unknown},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(sniffPhotoFormat(c.bytes.data(), c.bytes.size()), c.format);
  }
  // The brand "heic" in the mdat that follows a plain ftyp is not a brand.
  Bytes mp4 = ftyp("isom", {"mp41"});
  for (char ch : std::string("heic")) mp4.push_back((unsigned char)ch);
  EXPECT_EQ(sniffPhotoFormat(mp4.data(), mp4.size()), F::unknown);
}

// A format this build leaves out is refused by name (and by its library
// where it has one); an unknown file's reason names exactly the formats
// this build reads.
TEST(PhotoFormat, everyFormatIsReadOrRefusedByName) {
  std::vector<std::string> built;
  for (const grPhotoFormatInfo& info : photoFormats()) {
    SCOPED_TRACE(info.name);
    EXPECT_EQ(isReadablePhotoFormat(info.format), info.built);
    EXPECT_STREQ(photoFormatName(info.format), info.name);
    const std::string reason = unreadableFormatReason(info.format);
    if (info.built) {
      EXPECT_EQ(reason, "");
      built.push_back(info.name);
    } else if (info.format == grPhotoFormat::damagedPng) {
      EXPECT_NE(reason.find("damaged PNG signature"), std::string::npos) << reason;
    } else if (info.library) {
      EXPECT_EQ(reason, std::string(info.name) + " is not supported by this build (built without " +
                            info.library + ")");
    } else {
      EXPECT_EQ(reason, std::string(info.name) + " is not supported");
    }
  }
  ASSERT_FALSE(built.empty());
  EXPECT_EQ(built.front(), "BMP");  // own code, always built
  std::string expected = "not a " + built.front();
  for (std::size_t i = 1; i < built.size(); ++i)
    expected += (i + 1 == built.size() ? " or " : ", ") + built[i];
  EXPECT_EQ(unreadableFormatReason(grPhotoFormat::unknown), expected + " file");
}

// A sample of each format with a reader: read from its path and from its
// bytes in memory, the same picture or the same refusal; a format left out
// is refused by name, as the table says.
TEST(PhotoFormat, aFileReadsTheSameFromMemoryAsFromItsPath) {
  using F = grPhotoFormat;
  const struct {
    F format;   // the file's
    F picture;  // its picture's, which decides how it is read
    const char* file;
  } samples[] = {
      {F::bmp, F::bmp, "bmpsuite/g/pal8.bmp"},
      {F::bmp, F::jpeg, "bmpsuite/q/rgb24jpeg.bmp"},
      {F::bmp, F::png, "bmpsuite/q/rgb24png.bmp"},
      {F::jpeg, F::jpeg, "photos/pil-busy-640x480.jpg"},
      {F::png, F::png, "photos/pil-busy-640x480.png"},
  };
  for (const auto& sample : samples) {
    SCOPED_TRACE(sample.file);
    const std::string path = dataFolder() + sample.file;
    std::ifstream in(path, std::ios::binary);
    const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(bytes.empty());
    ASSERT_EQ(sniffPhotoFormat(bytes.data(), bytes.size()), sample.format);
    refvector2<unsigned char> buffer;
    ASSERT_TRUE(buffer.allocate(uint32_t(bytes.size())));
    std::memcpy(buffer.begin(), bytes.data(), bytes.size());

    grPhotoFile fromPath, fromMemory;
    grImage2D byPath, byMemory;
    const bool readByPath = fromPath.read(path.c_str(), byPath);
    EXPECT_EQ(fromMemory.read(buffer, byMemory), readByPath);
    EXPECT_EQ(fromMemory.problem, fromPath.problem);
    if (!infoOf(sample.picture).built) {
      EXPECT_FALSE(readByPath);
      EXPECT_EQ(fromPath.problem, unreadableFormatReason(sample.picture));
      continue;
    }
    ASSERT_TRUE(readByPath) << fromPath.problem;
    EXPECT_EQ(fromPath.pictureFormat, sample.picture);
    // The route is the picture's: GLU for BMP pixels, the CPU chain for a
    // JPEG or PNG, also inside a BMP.
    EXPECT_EQ(fromPath.route,
              sample.picture == F::bmp ? grUploadRoute::gluMipmaps : grUploadRoute::cpuChain);
    ASSERT_EQ(byMemory.width, byPath.width);
    ASSERT_EQ(byMemory.height, byPath.height);
    ASSERT_EQ(byMemory.pixels.size(), byPath.pixels.size());
    EXPECT_EQ(std::memcmp(byMemory.pixels.begin(), byPath.pixels.begin(), byPath.pixels.size()), 0);
  }
}

}  // namespace
