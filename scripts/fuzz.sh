#!/usr/bin/env bash
# Builds the libFuzzer target with clang into build-fuzz/ (everything
# instrumented with ASan, UBSan and coverage) and fuzzes the BMP-to-texture
# path for SECONDS (default 60) from a scratch copy of the seeds: the kept
# corpus in tests/fuzz_corpus/, the BMP conformance suite in
# tests/data/bmpsuite/ and the files real tools wrote in tests/data/toolbmps/
# (RLE8, 16- and 32-bit bit fields, OS/2 core headers). Exits non-zero on any
# finding (crash, sanitizer report, leak, GL error or unrestored GL state);
# the input is left in build-fuzz/findings/.
#
# Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

# The fuzz preset (clang, libFuzzer) without the tests: only the target runs.
cmake --preset fuzz -DBRELVANE_BUILD_TESTS=OFF >/dev/null
cmake --build --preset fuzz --target photo_upload_fuzz -j"$(nproc)"


corpus=build-fuzz/corpus
findings=build-fuzz/findings
rm -rf "$corpus" "$findings"
mkdir -p "$corpus" "$findings"
cp tests/fuzz_corpus/* tests/data/bmpsuite/*/*.bmp tests/data/toolbmps/*.bmp \
  tests/data/pngsuite/*.png tests/data/photos/*.{jpg,png} tests/data/profiles/*.{jpg,png,bmp} \
  "$corpus"/
chmod u+w "$corpus"/*

# Mesa, GLU and the other GL libraries are not instrumented: their own
# allocations are suppressed, leaks in the project's code still count.
LSAN_OPTIONS="suppressions=$PWD/tests/lsan_suppressions.txt:print_suppressions=0" \
  build-fuzz/fuzz/photo_upload_fuzz -max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 \
  -print_final_stats=1 -artifact_prefix="$findings/" "$corpus"
