#!/usr/bin/env bash
# Builds the benchmarks in Release (build-bench/) and measures, writing every
# figure to build-bench/bench-results/:
#   math.txt, photo_read.txt, bmp_decode.txt, texture_upload.txt  Google
#                   Benchmark runs
#   startup.txt     process start to first frame of the real program, in parts
#   read_syscalls.txt  the system calls that read each photograph
#   frames.txt      wall time and allocations per frame, scene vs reference
#   callgrind.txt   instructions per frame split into program and GL stack,
#                   scene vs the hand-written reference program
# Runs on a private Xvfb; llvmpipe (Mesa's software rasteriser) draws.
# BENCH_QUICK=1 shortens every run (for checking the script itself).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
build="$root/${BRELVANE_BENCH_DIR:-build-bench}"
out="$build/bench-results"
quick="${BENCH_QUICK:-0}"
repetitions=5
frames=2000
warm_up=500  # over a second: the drop stream is in its steady state by then
cg_frames=60
startups=11
if [ "$quick" = 1 ]; then repetitions=1 frames=200 warm_up=100 cg_frames=10 startups=3; fi

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBRELVANE_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j2 --target math_bench photo_read_bench bmp_decode_bench texture_upload_bench \
  frame_driver reference_frame startup_probe brelvane sample_photos
mkdir -p "$out"

# A private X server for everything that opens a window.
# shellcheck source=scripts/private_xvfb.sh
source scripts/private_xvfb.sh  # from the repository root
start_private_xvfb

gbench() {  # name, then extra arguments
  local name="$1"
  shift
  echo "== $name"
  "$build/bench/$name" --benchmark_repetitions="$repetitions" \
    --benchmark_report_aggregates_only=true "$@" | tee "$out/${name%_bench}.txt"
}
gbench math_bench
gbench photo_read_bench
gbench bmp_decode_bench
gbench texture_upload_bench

# Start-up of the real program, with the start-up probe preloaded: it prints
# the milestones at the first swap and ends the process. Median of the runs.
echo "== start-up (median of $startups runs)"
(
  cd "$build"
  for _ in $(seq "$startups"); do
    BRELVANE_LAUNCH_US="${EPOCHREALTIME/./}" LD_PRELOAD="$PWD/bench/startup_probe.so" ./brelvane
  done
) | python3 -c '
import statistics, sys
runs = [dict(zip(l.split()[0::2], map(float, l.split()[1::2]))) for l in sys.stdin if l.strip()]
for key in runs[0]:
    values = sorted(r[key] for r in runs)
    print(f"{key:18s} median {statistics.median(values):8.2f}  min {values[0]:8.2f}  max {values[-1]:8.2f}")
' | tee "$out/startup.txt"

# Each photograph must be read with one read call of the whole file.
echo "== photograph reads (strace)"
(
  cd "$build"
  strace -f -e trace=openat,read,lseek,pread64,close -o "$out/strace.log" \
    env LD_PRELOAD="$PWD/bench/startup_probe.so" ./brelvane >/dev/null
)
python3 - "$out/strace.log" <<'PY' | tee "$out/read_syscalls.txt"
import re, sys
open_fds = {}
for line in open(sys.argv[1]):
    m = re.search(r'openat\(.*"([^"]+\.bmp)".*= (\d+)$', line)
    if m:
        open_fds[m.group(2)] = m.group(1)
        print(f"{m.group(1)}: opened as fd {m.group(2)}")
        continue
    m = re.search(r'(read|pread64|lseek|close)\((\d+)[,)].*= (-?\d+)', line)
    if m and m.group(2) in open_fds:
        print(f"  {m.group(1)} -> {m.group(3)}")
        if m.group(1) == "close":
            del open_fds[m.group(2)]
PY

echo "== frames: wall time and allocations"
(
  cd "$build"
  for run in 1 2 3; do
    echo "scene     $(./bench/frame_driver "$frames" "$warm_up")"
    echo "reference $(./bench/reference_frame "$frames" "$warm_up")"
  done
) | tee "$out/frames.txt"

# Instruction counts of the counted frames only (both programs zero the
# counters after their warm-up and dump them after the last frame).
# LP_NUM_THREADS=0 rasterises on the main thread, so the count is complete
# and repeatable.
echo "== frames: instructions (callgrind, $cg_frames frames)"
cg="$out/callgrind"
rm -rf "$cg"
mkdir -p "$cg"
(
  cd "$build"
  for program in frame_driver reference_frame; do
    LP_NUM_THREADS=0 valgrind --tool=callgrind --callgrind-out-file="$cg/$program.%p" \
      "./bench/$program" "$cg_frames" 20 >/dev/null 2>&1
  done
)
{
  for program in frame_driver reference_frame; do
    echo "-- $program"
    python3 "$root/scripts/callgrind_split.py" "$(ls "$cg/$program".*.1)" "$cg_frames"
  done
} | tee "$out/callgrind.txt"
