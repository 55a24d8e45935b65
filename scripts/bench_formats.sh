#!/usr/bin/env bash
# Measures reading a camera-sized WebP, GIF, TIFF and JPEG XL picture
# against each library's own bare decode (bench/format_decode_bench.cpp),
# Release build in build-bench/ (BRELVANE_BENCH_DIR to change it). The
# pictures are made once into build-bench/bench-photos/, all from one
# 6000 x 4000 photograph like the camera ones of bench_first_frame.sh:
# camera_wall.webp (cwebp -q 85), .gif (ImageMagick, 256 colours,
# no dithering), .tif and _16.tif (8 and 16 bits, LZW, predictor 2) and
# .jxl (cjxl -d 1). Results in
# build-bench/bench-results/format_decode.txt (medians of 5 repetitions in
# random order, and the other programs' share of the cores meanwhile).
set -euo pipefail
cd "$(dirname "$0")/.."
build="$PWD/${BRELVANE_BENCH_DIR:-build-bench}"
photos="$build/bench-photos"
out="$build/bench-results"
mkdir -p "$photos" "$out"

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE="${BRELVANE_BENCH_TYPE:-Release}" \
  -DBRELVANE_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j2 --target format_decode_bench

source="$photos/formats_source.png"
[ -s "$source" ] || convert -seed 1 -size 6000x4000 plasma:fractal -attenuate 0.25 \
  +noise Gaussian "$source"
picture() {  # name, command...
  [ -s "$photos/$1" ] && return
  echo "making $1"
  shift
  "$@"
}
picture camera_wall.webp cwebp -quiet -q 85 "$source" -o "$photos/camera_wall.webp"
picture camera_wall.gif convert "$source" +dither -colors 256 "$photos/camera_wall.gif"
picture camera_wall.tif convert "$source" -depth 8 -compress lzw -define tiff:predictor=2 \
  "$photos/camera_wall.tif"
picture camera_wall_16.tif convert "$source" -depth 16 -compress lzw -define tiff:predictor=2 \
  "$photos/camera_wall_16.tif"
picture camera_wall.jxl cjxl --quiet -d 1 "$source" "$photos/camera_wall.jxl"
for f in camera_wall.webp camera_wall.gif camera_wall.tif camera_wall_16.tif camera_wall.jxl; do
  echo "$f $(identify -format '%wx%h' "$photos/$f[0]" 2>/dev/null || echo '?') $(stat -c %s "$photos/$f") bytes"
done | tee "$out/format_photos.txt"

# The machine's busy time less this script's own over the run: other
# programs would slow both sides unevenly.
busy() { awk '/^cpu /{print $2+$3+$4+$7+$8, $5+$6}' /proc/stat; }
read -r busy0 idle0 < <(busy)
(cd "$build" && BRELVANE_BENCH_PHOTOS="$photos" BENCHMARK_ENABLE_RANDOM_INTERLEAVING=true \
  ./bench/format_decode_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true) |
  tee "$out/format_decode.txt"
read -r busy1 idle1 < <(busy)
echo "cores busy during the run: $(( 100 * (busy1 - busy0) / (busy1 - busy0 + idle1 - idle0) )) %" \
  "(the benchmark itself keeps one of the $(nproc) busy)" | tee -a "$out/format_decode.txt"
