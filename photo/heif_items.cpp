// The item table (meta: pitm, iloc, iref) read with bounds checks, as far
// as the primary picture's items.
#include "photo/heif_items.h"

#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "utilities/byte_fields.h"

namespace libgr {

namespace {

// Big-endian fields of 0 to 8 bytes, read in order; `ok` turns false, for
// good, at the first read past the end.
struct Cursor {
  const unsigned char* at;
  const unsigned char* end;
  bool ok = true;

  uint64_t take(unsigned bytes) {
    if (!ok || uint64_t(end - at) < bytes) {
      ok = false;
      return 0;
    }
    uint64_t value = 0;
    for (unsigned i = 0; i < bytes; ++i) value = value << 8 | at[i];
    at += bytes;
    return value;
  }
};

struct Box {
  const unsigned char* body;
  const unsigned char* end;
  char type[4];
};

// The boxes between `from` and `to`; stops at the first that runs past.
std::vector<Box> boxesIn(const unsigned char* from, const unsigned char* to) {
  std::vector<Box> boxes;
  while (to - from >= 8) {
    uint64_t size = libutils::be32(from);
    std::size_t header = 8;
    if (size == 1) {
      if (to - from < 16) break;
      size = uint64_t(libutils::be32(from + 8)) << 32 | libutils::be32(from + 12);
      header = 16;
    } else if (size == 0) {
      size = uint64_t(to - from);
    }
    if (size < header || size > uint64_t(to - from)) break;
    Box box{from + header, from + size, {}};
    for (int i = 0; i < 4; ++i) box.type[i] = char(from[4 + i]);
    boxes.push_back(box);
    from += size;
  }
  return boxes;
}

bool is(const Box& box, const char* type) {
  return box.type[0] == type[0] && box.type[1] == type[1] && box.type[2] == type[2] &&
         box.type[3] == type[3];
}

// iloc: each item's coded bytes, as the sum of its extents' lengths;
// `malformed` when its field sizes are not the format's.
std::map<uint32_t, uint64_t> itemSizes(const Box& iloc, bool& malformed) {
  std::map<uint32_t, uint64_t> sizes;
  Cursor c{iloc.body, iloc.end};
  const unsigned version = unsigned(c.take(1));
  c.take(3);
  const unsigned sizesByte = unsigned(c.take(1)), baseByte = unsigned(c.take(1));
  const unsigned offsetSize = sizesByte >> 4, lengthSize = sizesByte & 15;
  const unsigned baseSize = baseByte >> 4, indexSize = version >= 1 ? baseByte & 15 : 0;
  // Field sizes are 0, 4 or 8 bytes; libheif reads others as nothing, and
  // an item of no bytes is what the decoders must not be handed.
  const auto allowed = [](unsigned size) { return size == 0 || size == 4 || size == 8; };
  if (version > 2) return {};
  if (!allowed(offsetSize) || !allowed(lengthSize) || !allowed(baseSize) || !allowed(indexSize))
    malformed = true;
  const uint64_t count = c.take(version < 2 ? 2 : 4);
  for (uint64_t i = 0; i < count && c.ok; ++i) {
    const uint32_t id = uint32_t(c.take(version < 2 ? 2 : 4));
    if (version >= 1) c.take(2);  // construction method
    c.take(2);                    // data reference
    c.take(baseSize);
    const uint64_t extents = c.take(2);
    uint64_t total = 0;
    for (uint64_t e = 0; e < extents && c.ok; ++e) {
      c.take(indexSize);
      c.take(offsetSize);
      // A zero length (the rest of the file, or of idat) counts as none, as
      // libheif reads it.
      total += c.take(lengthSize);
    }
    if (c.ok) sizes[id] = total;
  }
  return c.ok ? sizes : std::map<uint32_t, uint64_t>{};
}

// iref: (type, from) to the items referred to.
std::multimap<uint32_t, uint32_t> references(const Box& iref, const char* type) {
  std::multimap<uint32_t, uint32_t> refs;
  Cursor head{iref.body, iref.end};
  const unsigned version = unsigned(head.take(1));
  head.take(3);
  if (!head.ok) return refs;
  const unsigned idBytes = version == 0 ? 2 : 4;
  for (const Box& ref : boxesIn(head.at, iref.end)) {
    Cursor c{ref.body, ref.end};
    const uint32_t from = uint32_t(c.take(idBytes));
    const uint64_t count = c.take(2);
    for (uint64_t i = 0; i < count && c.ok; ++i) {
      const uint32_t to = uint32_t(c.take(idBytes));
      if (c.ok && is(ref, type)) refs.emplace(from, to);
    }
  }
  return refs;
}

}  // namespace

bool primaryItemIsEmpty(const unsigned char* bytes, std::size_t n) {
  const Box* meta = nullptr;
  const std::vector<Box> top = boxesIn(bytes, bytes + n);
  for (const Box& box : top)
    if (is(box, "meta")) meta = &box;
  if (!meta || meta->end - meta->body < 4) return false;
  const Box *pitm = nullptr, *iloc = nullptr, *iref = nullptr;
  const std::vector<Box> inMeta = boxesIn(meta->body + 4, meta->end);
  for (const Box& box : inMeta) {
    if (is(box, "pitm")) pitm = &box;
    if (is(box, "iloc")) iloc = &box;
    if (is(box, "iref")) iref = &box;
  }
  if (!pitm || !iloc) return false;
  Cursor c{pitm->body, pitm->end};
  const unsigned version = unsigned(c.take(1));
  c.take(3);
  const uint32_t primary = uint32_t(c.take(version == 0 ? 2 : 4));
  bool malformed = false;
  const std::map<uint32_t, uint64_t> sizes = itemSizes(*iloc, malformed);
  if (malformed) return true;
  if (!c.ok || sizes.empty()) return false;

  // The primary picture, its alpha (an auxiliary item referring to it) and
  // the tiles of either.
  std::set<uint32_t> needed{primary};
  if (iref) {
    for (const auto& [from, to] : references(*iref, "auxl"))
      if (to == primary) needed.insert(from);
    const std::multimap<uint32_t, uint32_t> tiles = references(*iref, "dimg");
    for (uint32_t item : std::set<uint32_t>(needed)) {
      const auto range = tiles.equal_range(item);
      for (auto it = range.first; it != range.second; ++it) needed.insert(it->second);
    }
  }
  for (uint32_t item : needed) {
    const auto size = sizes.find(item);
    if (size != sizes.end() && size->second == 0) return true;
  }
  return false;
}

}  // namespace libgr
