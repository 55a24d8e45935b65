// Writes one HEIC file through libheif's encoding API from planes given
// sample by sample, for tests/data/heif/make.py. heif-enc 1.15 converts
// RGB to YCbCr itself, always with BT.601 full-range, and writes no nclx
// box; the test files need other matrices, limited range, PQ and HLG
// samples made by the script, and irot/imir that libheif writes itself.
//
//   make_heif_samples [options] PLANES OUT.heic
//
// PLANES holds the planes one after another, rows top-down, one byte a
// sample for 8 bits and two (little-endian) above: Y, Cb, Cr (subsampled as
// --chroma says), or R, G, B for --chroma rgb, or Y alone for 400; then
// alpha, full size, with --alpha.
#include <libheif/heif.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "make_heif_samples: %s\n", what.c_str());
  std::exit(1);
}

void check(heif_error error, const char* what) {
  if (error.code != heif_error_Ok) fail(std::string(what) + ": " + error.message);
}

std::vector<unsigned char> readAll(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) fail(std::string("cannot read ") + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int number(const char* text) {
  char* end = nullptr;
  long value = std::strtol(text, &end, 10);
  if (*text == '\0' || *end != '\0') fail(std::string("not a number: ") + text);
  return static_cast<int>(value);
}

void usage() {
  std::fputs(
      "usage: make_heif_samples --size W H [--chroma 400|420|422|444|rgb] [--bits 8|10|12]\n"
      "         [--alpha] [--premultiplied] [--nclx P T M FULL] [--icc FILE] [--exif FILE]\n"
      "         [--orientation 1-8] [--lossless | --quality Q]\n"
      "         PLANES OUT.heic\n",
      stderr);
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  int width = 0, height = 0, bits = 8, quality = 90, orientation = 1;
  std::string chroma = "420";
  bool alpha = false, premultiplied = false, lossless = false, hasNclx = false;
  int nclx[4] = {};
  const char* iccPath = nullptr;
  const char* exifPath = nullptr;
  std::vector<const char*> files;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto need = [&](int n) {
      if (i + n >= argc) usage();
    };
    if (arg == "--size") {
      need(2);
      width = number(argv[++i]);
      height = number(argv[++i]);
    } else if (arg == "--chroma") {
      need(1);
      chroma = argv[++i];
    } else if (arg == "--bits") {
      need(1);
      bits = number(argv[++i]);
    } else if (arg == "--alpha") {
      alpha = true;
    } else if (arg == "--premultiplied") {
      premultiplied = true;
    } else if (arg == "--nclx") {
      need(4);
      for (int& value : nclx) value = number(argv[++i]);
      hasNclx = true;
    } else if (arg == "--icc") {
      need(1);
      iccPath = argv[++i];
    } else if (arg == "--exif") {
      need(1);
      exifPath = argv[++i];
    } else if (arg == "--orientation") {
      need(1);
      orientation = number(argv[++i]);
    } else if (arg == "--lossless") {
      lossless = true;
    } else if (arg == "--quality") {
      need(1);
      quality = number(argv[++i]);
    } else if (!arg.empty() && arg[0] == '-') {
      usage();
    } else {
      files.push_back(argv[i]);
    }
  }
  if (files.size() != 2 || width <= 0 || height <= 0 || orientation < 1 || orientation > 8 ||
      (bits != 8 && bits != 10 && bits != 12))
    usage();

  heif_colorspace space = heif_colorspace_YCbCr;
  heif_chroma layout = heif_chroma_420;
  int shiftX = 1, shiftY = 1;
  std::vector<heif_channel> channels = {heif_channel_Y, heif_channel_Cb, heif_channel_Cr};
  if (chroma == "rgb") {
    space = heif_colorspace_RGB;
    layout = heif_chroma_444;
    shiftX = shiftY = 0;
    channels = {heif_channel_R, heif_channel_G, heif_channel_B};
  } else if (chroma == "444") {
    layout = heif_chroma_444;
    shiftX = shiftY = 0;
  } else if (chroma == "422") {
    layout = heif_chroma_422;
    shiftY = 0;
  } else if (chroma == "400") {
    space = heif_colorspace_monochrome;
    layout = heif_chroma_monochrome;
    channels = {heif_channel_Y};
  } else if (chroma != "420") {
    usage();
  }
  if (alpha) channels.push_back(heif_channel_Alpha);

  std::vector<unsigned char> planes = readAll(files[0]);
  heif_image* image = nullptr;
  check(heif_image_create(width, height, space, layout, &image), "heif_image_create");
  const int bytes = bits > 8 ? 2 : 1;
  size_t pos = 0;
  for (heif_channel channel : channels) {
    bool sub = channel == heif_channel_Cb || channel == heif_channel_Cr;
    int w = sub ? (width + (1 << shiftX) - 1) >> shiftX : width;
    int h = sub ? (height + (1 << shiftY) - 1) >> shiftY : height;
    check(heif_image_add_plane(image, channel, w, h, bits), "heif_image_add_plane");
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image, channel, &stride);
    size_t row = static_cast<size_t>(w) * bytes;
    if (pos + row * h > planes.size()) fail("PLANES holds too few samples");
    for (int y = 0; y < h; ++y, pos += row)
      std::memcpy(plane + static_cast<size_t>(y) * stride, planes.data() + pos, row);
  }
  if (pos != planes.size()) fail("PLANES holds more samples than the picture");
  if (premultiplied) heif_image_set_premultiplied_alpha(image, 1);

  std::vector<unsigned char> icc;
  if (iccPath) {
    icc = readAll(iccPath);
    check(heif_image_set_raw_color_profile(image, "prof", icc.data(), icc.size()),
          "heif_image_set_raw_color_profile");
  }
  heif_encoding_options* options = heif_encoding_options_alloc();
  if (hasNclx) {
    heif_color_profile_nclx* profile = heif_nclx_color_profile_alloc();
    check(heif_nclx_color_profile_set_color_primaries(profile, nclx[0]), "primaries");
    check(heif_nclx_color_profile_set_transfer_characteristics(profile, nclx[1]), "transfer");
    check(heif_nclx_color_profile_set_matrix_coefficients(profile, nclx[2]), "matrix");
    profile->full_range_flag = nclx[3] ? 1 : 0;
    check(heif_image_set_nclx_color_profile(image, profile), "heif_image_set_nclx_color_profile");
    heif_nclx_color_profile_free(profile);
    // By default libheif leaves the nclx box out for macOS' sake; the files
    // are about that box.
    options->macOS_compatibility_workaround_no_nclx_profile = 0;
    options->save_two_colr_boxes_when_ICC_and_nclx_available = iccPath ? 1 : 0;
  }
  options->image_orientation = static_cast<heif_orientation>(orientation);

  heif_context* context = heif_context_alloc();
  heif_encoder* encoder = nullptr;
  check(heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder),
        "no HEVC encoder");
  // The x265 plugin subsamples to its own "chroma" setting (4:2:0 unless
  // told), whatever the planes given.
  if (space != heif_colorspace_monochrome)
    check(heif_encoder_set_parameter_string(encoder, "chroma",
                                            chroma == "rgb" ? "444" : chroma.c_str()),
          "the chroma parameter");
  if (lossless)
    check(heif_encoder_set_lossless(encoder, 1), "heif_encoder_set_lossless");
  else
    check(heif_encoder_set_lossy_quality(encoder, quality), "heif_encoder_set_lossy_quality");

  heif_image_handle* handle = nullptr;
  check(heif_context_encode_image(context, image, encoder, options, &handle),
        "heif_context_encode_image");
  if (exifPath) {
    std::vector<unsigned char> exif = readAll(exifPath);
    check(
        heif_context_add_exif_metadata(context, handle, exif.data(), static_cast<int>(exif.size())),
        "heif_context_add_exif_metadata");
  }
  check(heif_context_write_to_file(context, files[1]), "heif_context_write_to_file");

  heif_image_handle_release(handle);
  heif_encoder_release(encoder);
  heif_encoding_options_free(options);
  heif_image_release(image);
  heif_context_free(context);
  return 0;
}
