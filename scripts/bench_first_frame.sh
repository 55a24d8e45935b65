#!/usr/bin/env bash
# Start to first frame with two camera-sized JPEGs: brelvane beside the
# classic way (bench/stb_glu_viewer.c: stb_image at full size, one
# gluBuild2DMipmaps each), and the benchmarks that split the time. Writes to
# $build/bench-results/:
#   photos.txt       the two photographs (size, bytes, quality, sampling)
#   first_frame.txt  every run of both programs, alternating, then the
#                    medians of each part, the derived steps and the ratio
#   photo_decode.txt, photo_upload.txt  Google Benchmark runs
# The photographs are made once into $build/bench-photos/ by ImageMagick
# (never committed): a plasma fractal with Gaussian noise, 6000 x 4000,
# 4:2:0, quality 93, about 7.5 MB each, as a camera writes them; the PNG is
# the first one converted.
# Runs on a private Xvfb; llvmpipe (Mesa's software rasteriser) draws.
# BRELVANE_BENCH_DIR: build folder (default build-bench); BRELVANE_BENCH_TYPE:
# its build type (default Release, as scripts/bench.sh); FIRST_FRAME_RUNS:
# runs of each program (default 11). BENCH_QUICK=1 shortens every run.
#
# FIRST_FRAME_PHOTOS=heic measures phone photographs instead: two 4032 x
# 3024 HEICs as a phone writes them (a grid of 8 x 6 HEVC tiles of 512 x 512,
# the last column and row cropped, about 2 MB each), brelvane beside
# bench/heif_glu_viewer.c (libheif at full size with its defaults, one
# gluBuild2DMipmaps each), and the HEIC and AVIF cases of photo_decode_bench
# beside libheif alone. Writes photos_heic.txt, first_frame_heic_runs.txt,
# first_frame_heic.txt and photo_decode_heif.txt. Needs libheif (the viewer
# is built only where pkg-config finds it) and heif-enc, heif-info,
# heif-convert (Debian: libheif-examples).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
build="$root/${BRELVANE_BENCH_DIR:-build-bench}"
out="$build/bench-results"
photos="$build/bench-photos"
quick="${BENCH_QUICK:-0}"
runs="${FIRST_FRAME_RUNS:-11}"
repetitions=5
if [ "$quick" = 1 ]; then runs=3 repetitions=1; fi
kind="${FIRST_FRAME_PHOTOS:-jpeg}"
case "$kind" in
  jpeg | heic) ;;
  *) echo "FIRST_FRAME_PHOTOS is jpeg (default) or heic, not $kind" >&2 && exit 2 ;;
esac

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE="${BRELVANE_BENCH_TYPE:-Release}" \
  -DBRELVANE_BUILD_BENCHMARKS=ON >/dev/null
mkdir -p "$out" "$photos"

# summarise_rounds RUNS VIEWER GOAL: the medians of every probe figure of
# brelvane and VIEWER over the alternating rounds in RUNS, and their ratios.
summarise_rounds() {
  python3 - "$@" <<'PY'
import statistics, sys
runs = {}
for line in open(sys.argv[1]):
    words = line.split()
    if not words:
        continue
    r = dict(zip(words[1::2], map(float, words[2::2])))
    # Steps the probe does not see directly: what init spent besides file
    # reading, decoding and uploads (brelvane: the CPU chain; the viewers:
    # stb_image, which reads the file itself, or libheif, which the probe
    # does not wrap, so that decoding is in it), and GLU's CPU work.
    r["init_other_ms"] = r["init_ms"] - r["photo_file_ms"] - r["decode_ms"] - r["upload_ms"] - r["tex_image_ms"]
    r["glu_cpu_ms"] = r["upload_ms"] - r["glu_tex_image_ms"]
    runs.setdefault(words[0], []).append(r)
medians = {}
for program, rs in runs.items():
    print(f"-- {program} ({len(rs)} runs)")
    medians[program] = {}
    for key in rs[0]:
        values = sorted(r[key] for r in rs)
        medians[program][key] = statistics.median(values)
        print(f"{key:18s} median {medians[program][key]:8.2f}  min {values[0]:8.2f}  max {values[-1]:8.2f}")
for key in ("total_ms", "init_ms", "cpu_ms"):
    ours, theirs = medians["brelvane"][key], medians[sys.argv[2]][key]
    print(f"ratio brelvane / {sys.argv[2]}, median {key:9s} {ours / theirs:.3f}")
print(f"goal: total_ms ratio at most {sys.argv[3]}")
PY
}


# One run of a program with the start-up probe preloaded, its milestones on
# one line after `label`; run from the build folder.
probed() {  # label, program, arguments
  printf '%s ' "$1"
  shift
  BRELVANE_LAUNCH_US="${EPOCHREALTIME/./}" LD_PRELOAD="$PWD/bench/startup_probe.so" "$@"
}

gbench() {  # name, [output file stem, [benchmark filter]]
  echo "== $1"
  (cd "$build" && BRELVANE_BENCH_PHOTOS="$photos" "./bench/$1" \
    --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true \
    ${3:+--benchmark_filter="$3"}) |
    tee "$out/${2:-${1%_bench}}.txt"
}

# Phone photographs: the plasma and noise of the camera ones below with a
# little less noise (phones smooth theirs), 8 bits, cut into 512 x 512 tiles
# in raster order, each coded by heif-enc (x265), and the 48 put together as
# one grid item with tests/data/heif/isobmff.py, as heif-enc 1.15 writes no
# grids. The grid is 4096 x 3072 of tiles shown as 4032 x 3024, with the
# nclx box an Android phone writes (sRGB primaries and curve, BT.601 matrix,
# full range) on the grid item. Checked once made: libheif reads one
# 4032 x 3024 picture, and heif-convert's decode is the source (PSNR).
# With a third path, the same picture is also written there as one AV1
# image of about the same bytes (aom), for photo_decode_bench.
phone_photo() {  # seed, path, [AVIF path]
  [ -s "$2" ] && return
  echo "making $2"
  local tiles psnr
  tiles="$(mktemp -d "$photos/tiles.XXXX")"
  convert -seed "$1" -size 4096x3072 plasma:fractal -attenuate 0.15 +noise Gaussian -depth 8 \
    -write "$tiles/source.png" -crop 512x512 +repage "$tiles/tile_%02d.png"
  seq -w 0 47 |
    xargs -P2 -I{} heif-enc -q 50 -o "$tiles/tile_{}.heic" "$tiles/tile_{}.png" >/dev/null
  python3 - "$root/tests/data/heif" "$2.new" "$tiles"/tile_*.heic <<'ASSEMBLE'
import struct, sys
sys.path.insert(0, sys.argv[1])
import isobmff

tiles, columns, rows, width, height = sys.argv[3:], 8, 6, 4032, 3024
assert len(tiles) == columns * rows
phone = isobmff.Heif(b"heic", (b"mif1", b"heic", b"miaf"))
for number, path in enumerate(tiles, 1):
    coded = isobmff.Heif.read(open(path, "rb").read())
    tile = coded.item(coded.primary)
    phone.items.append(isobmff.Item(number, b"hvc1", tile.data, tile.props, hidden=True))
grid = len(tiles) + 1
# version 0, flags 0 (16-bit output size), rows - 1, columns - 1, width, height
layout = bytes([0, 0, rows - 1, columns - 1]) + struct.pack(">HH", width, height)
props = [(isobmff.ispe(width, height), False), (isobmff.nclx(1, 13, 6, True), False)]
pixi = phone.items[0].prop(b"pixi")
if pixi:
    props.append((pixi, False))
phone.items.append(isobmff.Item(grid, b"grid", layout, props, in_idat=True))
phone.refs.append((b"dimg", grid, list(range(1, grid))))
phone.primary = grid
open(sys.argv[2], "wb").write(phone.write())
ASSEMBLE
  heif-info "$2.new" | grep -q "image: 4032x3024 (id=49), primary" ||
    { echo "$2: libheif does not read one 4032 x 3024 picture" >&2 && exit 1; }
  heif-convert "$2.new" "$tiles/decoded.png" >/dev/null
  convert "$tiles/source.png" -crop 4032x3024+0+0 +repage "$tiles/source.png"
  psnr="$(compare -metric PSNR "$tiles/source.png" "$tiles/decoded.png" null: 2>&1 || true)"
  # A tile out of place or a wrong crop falls far below 30 dB.
  python3 -c "import sys; sys.exit(float(sys.argv[1]) < 30)" "$psnr" ||
    { echo "$2: the decoded grid is not the picture (PSNR $psnr dB)" >&2 && exit 1; }
  echo "$psnr" >"$2.psnr"
  [ -z "${3:-}" ] || heif-enc -q 80 -p speed=8 -o "$3" "$tiles/source.png" >/dev/null
  rm -r "$tiles"
  mv "$2.new" "$2"
}

if [ "$kind" = heic ]; then
  cmake --build "$build" -j2 --target brelvane heif_glu_viewer startup_probe photo_decode_bench
  [ -x "$build/bench/heif_glu_viewer" ] ||
    { echo "no heif_glu_viewer: pkg-config finds no libheif (Debian: libheif-dev)" >&2 && exit 1; }
  phone_photo 3 "$photos/phone_wall.heic" "$photos/phone_wall.avif"
  phone_photo 4 "$photos/phone_floor.heic"
  for f in phone_wall.heic phone_floor.heic phone_wall.avif; do
    size="$(heif-info "$photos/$f" | awk '/primary/ {print $2}')"
    echo "$f $size $(stat -c %s "$photos/$f") bytes," \
      "$(heif-info "$photos/$f" | awk '/^main brand/ {print "brand " $3 ","}')" \
      "$(case "$f" in *.heic) echo "grid of 8 x 6 tiles of 512 x 512, x265 quality 50," \
        "PSNR $(cat "$photos/$f.psnr") dB beside its source" ;;
      *) echo "one image, aom quality 80" ;; esac)"
  done | tee "$out/photos_heic.txt"

  # shellcheck source=scripts/private_xvfb.sh
  source scripts/private_xvfb.sh  # from the repository root
  start_private_xvfb
  # Other work on the two cores stretches these times: each run is listed
  # with the machine's load average of the last minute before it (the
  # rounds themselves raise it), and after the rounds and after the decode
  # benchmark comes the share of the cores other programs took meanwhile
  # (the machine's busy time less this script's children and Xvfb's).
  busy_ticks() { awk '/^cpu / {print $2 + $3 + $4 + $7 + $8 + $9}' /proc/stat; }
  own_ticks() { echo $(($(awk '{print $16 + $17}' /proc/$$/stat) + $(awk '{print $14 + $15}' "/proc/$xvfb/stat"))); }
  mark() { busy_mark="$(busy_ticks)" own_mark="$(own_ticks)" time_mark="$EPOCHREALTIME"; }
  others_since_mark() {  # what
    python3 -c 'import sys
busy, own, start, end, ticks, cores = map(float, sys.argv[2:])
print(f"other programs during {sys.argv[1]}: {max(0.0, 100 * (busy - own) / ((end - start) * ticks * cores)):.0f} %"
      f" of the {cores:.0f} cores")' "$1" "$(($(busy_ticks) - busy_mark))" "$(($(own_ticks) - own_mark))" \
      "$time_mark" "$EPOCHREALTIME" "$(getconf CLK_TCK)" "$(nproc)"
  }
  mark
  echo "== first frame, two phone HEICs ($runs rounds)"
  (
    cd "$build"
    for _ in $(seq "$runs"); do
      for program in brelvane bench/heif_glu_viewer; do
        probed "${program#bench/} load_1min $(cut -d ' ' -f 1 /proc/loadavg)" "./$program" \
          "$photos/phone_wall.heic" "$photos/phone_floor.heic"
      done
    done
  ) | tee "$out/first_frame_heic_runs.txt"
  summarise_rounds "$out/first_frame_heic_runs.txt" heif_glu_viewer 0.6 | tee "$out/first_frame_heic.txt"
  others_since_mark "the rounds" | tee -a "$out/first_frame_heic.txt"
  # The decodes run on several threads and their times vary more from run to
  # run: more repetitions, in random order, so a slow spell of the machine
  # does not fall on one case alone.
  [ "$quick" = 1 ] || repetitions=9
  mark
  BENCHMARK_ENABLE_RANDOM_INTERLEAVING=true gbench photo_decode_bench photo_decode_heif 'heic|avif'
  others_since_mark "the decode benchmark" | tee -a "$out/photo_decode_heif.txt"
  exit 0
fi

cmake --build "$build" -j2 --target brelvane stb_glu_viewer startup_probe photo_decode_bench \
  photo_upload_bench

# Fine detail everywhere (the fractal) and sensor-like noise over it, so the
# files are as large as a camera's; the seed makes them the same every time.
camera_photo() {  # seed, path
  [ -s "$2" ] && return
  echo "making $2"
  convert -seed "$1" -size 6000x4000 plasma:fractal -attenuate 0.25 +noise Gaussian \
    -sampling-factor 2x2 -quality 93 "$2"
}
camera_photo 1 "$photos/camera_wall.jpg"
camera_photo 2 "$photos/camera_floor.jpg"
[ -s "$photos/camera_wall.png" ] || convert "$photos/camera_wall.jpg" "$photos/camera_wall.png"
for f in camera_wall.jpg camera_floor.jpg camera_wall.png; do
  sampling="$(identify -verbose "$photos/$f" | awk '/jpeg:sampling-factor/ {print $2}')"
  echo "$f $(identify -format '%wx%h quality %Q' "$photos/$f") $(stat -c %s "$photos/$f") bytes" \
    "${sampling:+sampling $sampling}"
done | tee "$out/photos.txt"

# A private X server for the two windows.
# shellcheck source=scripts/private_xvfb.sh
source scripts/private_xvfb.sh  # from the repository root
start_private_xvfb

# Both programs with the start-up probe preloaded (it prints the milestones
# at the first swap and ends the process), one after the other in each
# round, so a change in the machine's load falls on both alike.
echo "== first frame, two JPEGs ($runs rounds)"
(
  cd "$build"
  for _ in $(seq "$runs"); do
    for program in brelvane bench/stb_glu_viewer; do
      probed "${program#bench/}" "./$program" "$photos/camera_wall.jpg" "$photos/camera_floor.jpg"
    done
  done
) | tee "$out/first_frame_runs.txt"
summarise_rounds "$out/first_frame_runs.txt" stb_glu_viewer 0.333 | tee "$out/first_frame.txt"

# The cost of colour management: the same two photographs with an Adobe RGB
# profile embedded (exiftool adds the APP2 marker; the pixel data is
# untouched), beside the same without, alternating.
adobe=/usr/share/color/icc/colord/AdobeRGB1998.icc
for f in camera_wall camera_floor; do
  [ -s "$photos/${f}_adobe.jpg" ] ||
    exiftool -q -q "-icc_profile<=$adobe" -o "$photos/${f}_adobe.jpg" "$photos/$f.jpg"
done
echo "== first frame, two JPEGs with and without an Adobe RGB profile ($runs rounds)"
(
  cd "$build"
  for _ in $(seq "$runs"); do
    for suffix in "" _adobe; do
      probed "brelvane${suffix:-_plain}" ./brelvane "$photos/camera_wall$suffix.jpg" \
        "$photos/camera_floor$suffix.jpg"
    done
  done
) | tee "$out/profile_cost_runs.txt"
python3 - "$out/profile_cost_runs.txt" <<'PY' | tee "$out/profile_cost.txt"
import statistics, sys
totals = {}
for line in open(sys.argv[1]):
    words = line.split()
    if words:
        totals.setdefault(words[0], []).append(dict(zip(words[1::2], map(float, words[2::2])))["total_ms"])
for name, values in totals.items():
    print(f"{name:16s} median total_ms {statistics.median(values):8.2f}")
ratio = statistics.median(totals["brelvane_adobe"]) / statistics.median(totals["brelvane_plain"])
print(f"ratio with profile / without, median total_ms {ratio:.3f} (goal: at most 1.2)")
PY

# The camera cases; the phone ones run in the HEIC mode.
gbench photo_decode_bench photo_decode '-heic|avif'
gbench photo_upload_bench
