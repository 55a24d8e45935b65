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

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE="${BRELVANE_BENCH_TYPE:-Release}" \
  -DBRELVANE_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j2 --target brelvane stb_glu_viewer startup_probe photo_decode_bench \
  photo_upload_bench
mkdir -p "$out" "$photos"

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

# One run of a program with the start-up probe preloaded, its milestones on
# one line after `label`; run from the build folder.
probed() {  # label, program, arguments
  printf '%s ' "$1"
  shift
  BRELVANE_LAUNCH_US="${EPOCHREALTIME/./}" LD_PRELOAD="$PWD/bench/startup_probe.so" "$@"
}

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
python3 - "$out/first_frame_runs.txt" <<'PY' | tee "$out/first_frame.txt"
import statistics, sys
runs = {}
for line in open(sys.argv[1]):
    words = line.split()
    if not words:
        continue
    r = dict(zip(words[1::2], map(float, words[2::2])))
    # Steps the probe does not see directly: what init spent besides file
    # reading, decoding and uploads (brelvane: the CPU chain; the viewer:
    # stb_image, which reads the file itself), and GLU's CPU work.
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
    ours, theirs = medians["brelvane"][key], medians["stb_glu_viewer"][key]
    print(f"ratio brelvane / stb_glu_viewer, median {key:9s} {ours / theirs:.3f}")
print("goal: total_ms ratio at most 0.333")
PY

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

gbench() {  # name
  echo "== $1"
  (cd "$build" && BRELVANE_BENCH_PHOTOS="$photos" "./bench/$1" \
    --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true) |
    tee "$out/${1%_bench}.txt"
}
gbench photo_decode_bench
gbench photo_upload_bench
