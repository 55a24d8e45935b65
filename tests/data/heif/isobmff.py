"""Reads and writes the boxes of HEIF and AVIF still-image files (ISO/IEC
14496-12 and 23008-12), enough for make.py to take the coded pictures an
encoder wrote and put them together into what the encoders cannot write:
grids, irot/imir/clap, Exif items, nclx and ICC colr boxes, thumbnails and
auxiliary pictures listed before the primary one.

A file is read into a Heif: its brands, its items (each with its coded
bytes and its properties, in the order its ipma lists them), the item
references and the primary item. write() lays them out again: ftyp, meta
(hdlr, pitm, iloc, iinf, iref, iprp, idat) and one mdat.
"""
import struct

CONTAINERS = {b"meta": 4, b"iprp": 0, b"ipco": 0, b"iref": 4, b"moov": 0, b"trak": 0,
              b"mdia": 0, b"minf": 0, b"stbl": 0, b"dinf": 0, b"dref": 8, b"iinf": None}


def boxes(data, start=0, end=None):
    """(type, body start, box end) of each box from start to end."""
    end = len(data) if end is None else end
    pos = start
    while pos + 8 <= end:
        size, kind = struct.unpack_from(">I4s", data, pos)
        header = 8
        if size == 1:
            size = struct.unpack_from(">Q", data, pos + 8)[0]
            header = 16
        elif size == 0:
            size = end - pos
        if size < header or pos + size > end:
            raise ValueError("box %r at %d runs past its parent" % (kind, pos))
        yield kind, pos + header, pos + size
        pos += size


def find(data, kind, start=0, end=None):
    """The body of the first box of a type among start..end, as (start, end)."""
    for k, body, stop in boxes(data, start, end):
        if k == kind:
            return body, stop
    raise KeyError(kind)


def box(kind, body):
    return struct.pack(">I4s", 8 + len(body), kind) + body


def full_box(kind, version, flags, body):
    return box(kind, struct.pack(">I", (version << 24) | flags) + body)


def walk(data, start=0, end=None, depth=0):
    """Lines naming every box, indented by depth, for looking at a file."""
    lines = []
    for kind, body, stop in boxes(data, start, end):
        lines.append("%s%s %d" % ("  " * depth, kind.decode("latin-1"), stop - body))
        if kind == b"iinf":
            skip = 4 + (2 if data[body] == 0 else 4)
            lines += walk(data, body + skip, stop, depth + 1)
        elif kind in CONTAINERS:
            lines += walk(data, body + CONTAINERS[kind], stop, depth + 1)
    return lines


def uint(data, pos, size):
    return int.from_bytes(data[pos:pos + size], "big") if size else 0


# --- properties ---------------------------------------------------------------------------

def ispe(width, height):
    return full_box(b"ispe", 0, 0, struct.pack(">II", width, height))


def pixi(*depths):
    return full_box(b"pixi", 0, 0, bytes([len(depths)]) + bytes(depths))


def nclx(primaries, transfer, matrix, full_range):
    return box(b"colr", b"nclx" + struct.pack(">HHHB", primaries, transfer, matrix,
                                               0x80 if full_range else 0))


def icc(profile):
    return box(b"colr", b"prof" + profile)


def irot(angle):
    """Turned angle x 90 degrees anticlockwise for display."""
    return box(b"irot", bytes([angle]))


def imir(mode):
    """0: top and bottom exchanged; 1: left and right exchanged."""
    return box(b"imir", bytes([mode]))


def clap(width, height, left, top, full_width, full_height):
    """The clean aperture of a crop rectangle: its size and the offset of its
    centre from the picture's centre, in halves of a pixel."""
    horizontal = 2 * left + width - full_width
    vertical = 2 * top + height - full_height
    return box(b"clap", struct.pack(">IIIIiIiI", width, 1, height, 1, horizontal, 2,
                                    vertical, 2))


def auxc(urn):
    return full_box(b"auxC", 0, 0, urn.encode() + b"\0")


def property_kind(prop):
    return prop[4:8]


# --- the file -----------------------------------------------------------------------------

class Item:
    def __init__(self, item_id, kind, data=b"", props=(), name="", hidden=False,
                 in_idat=False):
        self.id = item_id
        self.kind = kind          # b"hvc1", b"av01", b"grid", b"Exif", ...
        self.data = data
        self.props = list(props)  # (box bytes, essential)
        self.name = name
        self.hidden = hidden
        self.in_idat = in_idat

    def prop(self, kind):
        for body, _ in self.props:
            if property_kind(body) == kind:
                return body
        return None

    def drop(self, *kinds):
        self.props = [p for p in self.props if property_kind(p[0]) not in kinds]


class Heif:
    def __init__(self, major=b"heic", compatible=(b"mif1", b"heic")):
        self.major = major
        self.compatible = list(compatible)
        self.items = []
        self.refs = []  # (type, from item, [to items])
        self.primary = None

    def item(self, item_id):
        return next(i for i in self.items if i.id == item_id)

    def refs_from(self, item_id, kind):
        return [to for k, src, tos in self.refs if k == kind and src == item_id for to in tos]

    @classmethod
    def read(cls, data):
        major = data[8:12]
        start, end = find(data, b"ftyp")
        heif = cls(data[start:start + 4],
                   [data[p:p + 4] for p in range(start + 8, end, 4)])
        assert heif.major == major
        meta, meta_end = find(data, b"meta")
        meta += 4
        children = {kind: (body, stop) for kind, body, stop in boxes(data, meta, meta_end)}
        idat = data[slice(*children[b"idat"])] if b"idat" in children else b""

        body, stop = children[b"pitm"]
        heif.primary = struct.unpack_from(">H" if data[body] == 0 else ">I", data, body + 4)[0]

        body, stop = children[b"iinf"]
        skip = 4 + (2 if data[body] == 0 else 4)
        items = {}
        for kind, infe, infe_end in boxes(data, body + skip, stop):
            version, flags = data[infe], uint(data, infe + 1, 3)
            assert kind == b"infe" and version in (2, 3), "infe version %d" % version
            size = 2 if version == 2 else 4
            item_id = uint(data, infe + 4, size)
            pos = infe + 4 + size + 2
            item_type = data[pos:pos + 4]
            name = data[pos + 4:data.index(b"\0", pos + 4)].decode()
            items[item_id] = Item(item_id, item_type, name=name, hidden=bool(flags & 1))
            heif.items.append(items[item_id])

        body, stop = children[b"iloc"]
        version = data[body]
        offset_size, length_size = data[body + 4] >> 4, data[body + 4] & 15
        base_size = data[body + 5] >> 4
        index_size = data[body + 5] & 15 if version in (1, 2) else 0
        pos = body + 6
        count_size = 2 if version < 2 else 4
        count = uint(data, pos, count_size)
        pos += count_size
        for _ in range(count):
            item_id = uint(data, pos, count_size)
            pos += count_size
            method = 0
            if version in (1, 2):
                method = uint(data, pos, 2) & 15
                pos += 2
            pos += 2  # data reference index
            base = uint(data, pos, base_size)
            pos += base_size
            extents = uint(data, pos, 2)
            pos += 2
            chunks = []
            for _ in range(extents):
                pos += index_size
                offset = uint(data, pos, offset_size)
                length = uint(data, pos + offset_size, length_size)
                pos += offset_size + length_size
                source = idat if method == 1 else data
                chunks.append(source[base + offset:base + offset + length])
            items[item_id].data = b"".join(chunks)
            items[item_id].in_idat = method == 1

        if b"iref" in children:
            body, stop = children[b"iref"]
            size = 2 if data[body] == 0 else 4
            for kind, ref, ref_end in boxes(data, body + 4, stop):
                src = uint(data, ref, size)
                n = uint(data, ref + size, 2)
                tos = [uint(data, ref + size + 2 + size * k, size) for k in range(n)]
                heif.refs.append((kind, src, tos))

        body, stop = children[b"iprp"]
        ipco, ipco_end = find(data, b"ipco", body, stop)
        props = [data[start - 8:end] for _, start, end in boxes(data, ipco, ipco_end)]
        ipma_body, ipma_end = find(data, b"ipma", body, stop)
        version, flags = data[ipma_body], uint(data, ipma_body + 1, 3)
        id_size = 2 if version < 1 else 4
        count, pos = uint(data, ipma_body + 4, 4), ipma_body + 8
        for _ in range(count):
            item_id, n = uint(data, pos, id_size), data[pos + id_size]
            pos += id_size + 1
            for _ in range(n):
                if flags & 1:
                    value = uint(data, pos, 2)
                    essential, index = value >> 15, value & 0x7FFF
                    pos += 2
                else:
                    essential, index = data[pos] >> 7, data[pos] & 0x7F
                    pos += 1
                items[item_id].props.append((props[index - 1], bool(essential)))
        return heif

    def write(self):
        ftyp = box(b"ftyp", self.major + b"\0\0\0\0" + b"".join(self.compatible))
        hdlr = full_box(b"hdlr", 0, 0, b"\0\0\0\0pict" + b"\0" * 12 + b"\0")
        pitm = full_box(b"pitm", 0, 0, struct.pack(">H", self.primary))
        infes = b"".join(
            full_box(b"infe", 2, 1 if item.hidden else 0,
                     struct.pack(">HH", item.id, 0) + item.kind + item.name.encode() + b"\0")
            for item in self.items)
        iinf = full_box(b"iinf", 0, 0, struct.pack(">H", len(self.items)) + infes)
        iref = b""
        if self.refs:
            iref = full_box(b"iref", 0, 0, b"".join(
                box(kind, struct.pack(">HH", src, len(tos)) + b"".join(
                    struct.pack(">H", to) for to in tos))
                for kind, src, tos in self.refs))
        unique = []
        for item in self.items:
            for prop, _ in item.props:
                if prop not in unique:
                    unique.append(prop)
        assert len(unique) < 128
        ipco = box(b"ipco", b"".join(unique))
        entries = b""
        listed = [item for item in self.items if item.props]
        for item in listed:
            entries += struct.pack(">HB", item.id, len(item.props)) + bytes(
                (0x80 if essential else 0) | (unique.index(prop) + 1)
                for prop, essential in item.props)
        ipma = full_box(b"ipma", 0, 0, struct.pack(">I", len(listed)) + entries)
        iprp = box(b"iprp", ipco + ipma)
        idat_items = [item for item in self.items if item.in_idat]
        idat = box(b"idat", b"".join(item.data for item in idat_items)) if idat_items else b""

        def iloc(mdat_start):
            rows, in_mdat, in_idat = b"", mdat_start, 0
            for item in self.items:
                if not item.data:
                    continue
                if item.in_idat:
                    method, offset = 1, in_idat
                    in_idat += len(item.data)
                else:
                    method, offset = 0, in_mdat
                    in_mdat += len(item.data)
                rows += struct.pack(">HHHHII", item.id, method, 0, 1, offset, len(item.data))
            count = sum(1 for item in self.items if item.data)
            return full_box(b"iloc", 1, 0, bytes([0x44, 0x00]) + struct.pack(">H", count) + rows)

        def meta(mdat_start):
            return full_box(b"meta", 0, 0, hdlr + pitm + iloc(mdat_start) + iinf + iref + iprp
                            + idat)

        start = len(ftyp) + len(meta(0)) + 8
        payload = b"".join(item.data for item in self.items if not item.in_idat)
        return ftyp + meta(start) + box(b"mdat", payload)


# --- coded pictures -------------------------------------------------------------------------

def hevc_annex_b(item):
    """An hvc1 item's parameter sets and slices as an Annex B stream."""
    hvcc = item.prop(b"hvcC")[8:]
    size = (hvcc[21] & 3) + 1
    out = b""
    pos, arrays = 23, hvcc[22]
    for _ in range(arrays):
        n = struct.unpack_from(">H", hvcc, pos + 1)[0]
        pos += 3
        for _ in range(n):
            length = struct.unpack_from(">H", hvcc, pos)[0]
            out += b"\0\0\0\1" + hvcc[pos + 2:pos + 2 + length]
            pos += 2 + length
    data, pos = item.data, 0
    while pos < len(data):
        length = int.from_bytes(data[pos:pos + size], "big")
        out += b"\0\0\0\1" + data[pos + size:pos + size + length]
        pos += size + length
    return out


def av1_obus(item):
    """An av01 item's OBUs after a temporal delimiter (libavif writes one
    into the item already): a low-overhead AV1 stream."""
    if (item.data[0] >> 3) & 15 == 2:
        return item.data
    return b"\x12\x00" + item.data
