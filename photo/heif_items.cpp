// The item table (meta: pitm, iinf, iloc, iref, idat) read with bounds
// checks, as far as the primary picture's items.
#include "photo/heif_items.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
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

// Where an item's bytes lie (iloc): in the file (construction method 0)
// or in the meta box's idat (1), from `base`, in extents of (offset,
// length).
struct ItemPlace {
  unsigned method = 0;
  uint64_t base = 0;
  std::vector<std::pair<uint64_t, uint64_t>> extents;
};

// iloc: every item's place; `malformed` when its field sizes are not the
// format's.
std::map<uint32_t, ItemPlace> itemPlaces(const Box& iloc, bool& malformed) {
  std::map<uint32_t, ItemPlace> places;
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
    ItemPlace place;
    if (version >= 1) place.method = unsigned(c.take(2) & 15);
    c.take(2);  // data reference
    place.base = c.take(baseSize);
    const uint64_t extents = c.take(2);
    for (uint64_t e = 0; e < extents && c.ok; ++e) {
      c.take(indexSize);
      const uint64_t offset = c.take(offsetSize);
      place.extents.emplace_back(offset, c.take(lengthSize));
    }
    if (c.ok) places[id] = place;
  }
  return c.ok ? places : std::map<uint32_t, ItemPlace>{};
}

// Each item's coded bytes, as the sum of its extents' lengths (a zero
// length, the rest of the file or of idat, counts as none, as libheif reads
// it).
std::map<uint32_t, uint64_t> itemSizes(const Box& iloc, bool& malformed) {
  std::map<uint32_t, uint64_t> sizes;
  for (const auto& [id, place] : itemPlaces(iloc, malformed)) {
    uint64_t total = 0;
    for (const auto& extent : place.extents) total += extent.second;
    sizes[id] = total;
  }
  return sizes;
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

// The boxes of the top-level meta box the checks read, and the primary
// item's id; `found` false without meta, pitm or iloc.
struct Meta {
  bool found = false;
  Box pitm{}, iloc{}, iref{}, iinf{}, idat{};
  bool hasIref = false, hasIinf = false, hasIdat = false;
  uint32_t primary = 0;
};

Meta readMeta(const unsigned char* bytes, std::size_t n) {
  Meta m;
  const Box* meta = nullptr;
  const std::vector<Box> top = boxesIn(bytes, bytes + n);
  // The first meta box, as libheif reads it; a later one is ignored.
  for (const Box& box : top)
    if (is(box, "meta") && !meta) meta = &box;
  if (!meta || meta->end - meta->body < 4) return m;
  bool hasPitm = false, hasIloc = false;
  for (const Box& box : boxesIn(meta->body + 4, meta->end)) {
    if (is(box, "pitm")) m.pitm = box, hasPitm = true;
    if (is(box, "iloc")) m.iloc = box, hasIloc = true;
    if (is(box, "iref")) m.iref = box, m.hasIref = true;
    if (is(box, "iinf")) m.iinf = box, m.hasIinf = true;
    if (is(box, "idat")) m.idat = box, m.hasIdat = true;
  }
  if (!hasPitm || !hasIloc) return m;
  Cursor c{m.pitm.body, m.pitm.end};
  const unsigned version = unsigned(c.take(1));
  c.take(3);
  m.primary = uint32_t(c.take(version == 0 ? 2 : 4));
  m.found = c.ok;
  return m;
}

// iinf: the item type of `item` ("grid", "iovl", "hvc1", ...), or "".
std::string itemType(const Box& iinf, uint32_t item) {
  Cursor head{iinf.body, iinf.end};
  const unsigned version = unsigned(head.take(1));
  head.take(3);
  head.take(version == 0 ? 2 : 4);
  if (!head.ok) return "";
  for (const Box& infe : boxesIn(head.at, iinf.end)) {
    if (!is(infe, "infe")) continue;
    Cursor c{infe.body, infe.end};
    const unsigned entryVersion = unsigned(c.take(1));
    c.take(3);
    if (entryVersion < 2) continue;  // older entries name no type
    const uint32_t id = uint32_t(c.take(entryVersion == 2 ? 2 : 4));
    c.take(2);  // protection index
    const uint64_t type = c.take(4);
    if (c.ok && id == item)
      return {char(type >> 24), char(type >> 16 & 255), char(type >> 8 & 255), char(type & 255)};
  }
  return "";
}

// The items the primary picture is made of: the picture, its alpha (an
// auxiliary item referring to it) and, through every level of derivation,
// the items they are derived from (a grid's tiles, an overlay's pictures).
std::set<uint32_t> pictureItems(const Meta& m) {
  std::set<uint32_t> items{m.primary};
  if (!m.hasIref) return items;
  for (const auto& [from, to] : references(m.iref, "auxl"))
    if (to == m.primary) items.insert(from);
  const std::multimap<uint32_t, uint32_t> derived = references(m.iref, "dimg");
  std::vector<uint32_t> pending(items.begin(), items.end());
  while (!pending.empty()) {
    const uint32_t item = pending.back();
    pending.pop_back();
    const auto range = derived.equal_range(item);
    for (auto it = range.first; it != range.second; ++it)
      if (items.insert(it->second).second) pending.push_back(it->second);
  }
  return items;
}

}  // namespace

bool primaryCanvasSize(const unsigned char* bytes, std::size_t n, uint32_t& width,
                       uint32_t& height) {
  const Meta m = readMeta(bytes, n);
  if (!m.found || !m.hasIinf) return false;
  bool malformed = false;
  const std::map<uint32_t, ItemPlace> places = itemPlaces(m.iloc, malformed);
  uint64_t largest = 0;
  for (uint32_t item : pictureItems(m)) {
    const std::string type = itemType(m.iinf, item);
    const auto place = places.find(item);
    if ((type != "grid" && type != "iovl") || place == places.end() ||
        place->second.extents.empty() || place->second.method > 1)
      continue;
    // The item's first extent, in the file or in idat.
    const bool inIdat = place->second.method == 1 && m.hasIdat;
    const unsigned char* from = inIdat ? m.idat.body : bytes;
    const unsigned char* end = inIdat ? m.idat.end : bytes + n;
    const uint64_t at = place->second.base + place->second.extents.front().first;
    if (at >= uint64_t(end - from)) continue;
    Cursor c{from + at, end};
    c.take(1);  // version
    const unsigned flags = unsigned(c.take(1));
    c.take(type == "grid" ? 2 : 8);  // rows and columns, or the canvas's fill colour
    const unsigned field = flags & 1 ? 4 : 2;
    const uint32_t w = uint32_t(c.take(field)), h = uint32_t(c.take(field));
    if (c.ok && uint64_t(w) * h >= largest) {
      largest = uint64_t(w) * h;
      width = w;
      height = h;
    }
  }
  return largest > 0;
}

bool primaryItemIsEmpty(const unsigned char* bytes, std::size_t n) {
  const Meta m = readMeta(bytes, n);
  if (!m.found) return false;
  bool malformed = false;
  const std::map<uint32_t, uint64_t> sizes = itemSizes(m.iloc, malformed);
  if (malformed) return true;
  if (sizes.empty()) return false;
  for (uint32_t item : pictureItems(m)) {
    const auto size = sizes.find(item);
    if (size != sizes.end() && size->second == 0) return true;
  }
  return false;
}

}  // namespace libgr
