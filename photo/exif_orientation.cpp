// EXIF orientation through libexif, behind an owner of its data object.
#include "photo/exif_orientation.h"

#include <libexif/exif-data.h>

#include <cstring>
#include <memory>
#include <vector>

namespace libgr {

namespace {

struct ExifDataRelease {
  void operator()(ExifData* data) const { exif_data_unref(data); }
};
using ExifDataOwner = std::unique_ptr<ExifData, ExifDataRelease>;

constexpr unsigned char kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
// libexif takes blocks of at most 64 KiB plus its header; a JPEG segment is
// smaller anyway, a PNG chunk may not be.
constexpr std::size_t kLargestBlock = 0xFFFF;

}  // namespace

int exifOrientation(const unsigned char* bytes, std::size_t n) {
  if (!bytes || n < 8) return 1;
  // libexif wants the Exif header in front of the TIFF data.
  std::vector<unsigned char> block;
  if (std::memcmp(bytes, kExifHeader, sizeof kExifHeader) != 0) {
    if (n > kLargestBlock) n = kLargestBlock;
    block.reserve(sizeof kExifHeader + n);
    block.insert(block.end(), kExifHeader, kExifHeader + sizeof kExifHeader);
    block.insert(block.end(), bytes, bytes + n);
    bytes = block.data();
    n = block.size();
  }
  ExifDataOwner data(exif_data_new());
  if (!data) return 1;
  // Read the tags as written: no default entries added, no values "fixed".
  exif_data_unset_option(data.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
  exif_data_load_data(data.get(), bytes, unsigned(n));

  ExifEntry* entry = exif_content_get_entry(data->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
  if (!entry || !entry->data || entry->components < 1) return 1;
  const ExifByteOrder order = exif_data_get_byte_order(data.get());
  int value = 0;
  if (entry->format == EXIF_FORMAT_SHORT && entry->size >= 2)
    value = exif_get_short(entry->data, order);
  else if (entry->format == EXIF_FORMAT_LONG && entry->size >= 4)
    value = int(exif_get_long(entry->data, order));
  return value >= 1 && value <= 8 ? value : 1;
}

}  // namespace libgr
