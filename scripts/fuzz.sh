#!/usr/bin/env bash
# Builds the two libFuzzer targets with clang into build-fuzz/ (everything
# instrumented with ASan, UBSan and coverage) and fuzzes them one after the
# other for SECONDS in all (default 60), half each:
#   photo_read_fuzz    the photograph readers alone, from bytes in memory
#                      (no GL, so more inputs a second);
#   photo_upload_fuzz  the whole path into a texture in a headless GL context.
# Both start from the same seeds, copied into build-fuzz/seeds/: the kept
# corpus in tests/fuzz_corpus/, every file the test-data manifests name
# (tests/data/*/manifest.tsv, tests/data/toolbmps/manifest.txt) and the BMP
# conformance suite in tests/data/bmpsuite/; what each finds new goes to its
# own build-fuzz/corpus/TARGET/. Exits non-zero when either target has a
# finding (crash, sanitizer report, leak, timeout, a read breaking its
# invariants, GL error or unrestored GL state); the input is left in
# build-fuzz/findings/, named after its target.
#
# Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
read_seconds=$(((seconds + 1) / 2))
upload_seconds=$((seconds - read_seconds))
# libFuzzer takes 0 as no limit at all.
[ "$read_seconds" -ge 1 ] || read_seconds=1
[ "$upload_seconds" -ge 1 ] || upload_seconds=1

# The fuzz preset (clang, libFuzzer) without the tests: only the targets run.
cmake --preset fuzz -DBRELVANE_BUILD_TESTS=OFF >/dev/null
cmake --build --preset fuzz --target photo_read_fuzz photo_upload_fuzz -j"$(nproc)"

seeds=build-fuzz/seeds
corpus=build-fuzz/corpus
findings=build-fuzz/findings
rm -rf "$seeds" "$corpus" "$findings"
mkdir -p "$seeds" "$corpus/photo_read_fuzz" "$corpus/photo_upload_fuzz" "$findings"

# The test files by their manifests, not by their names' extensions: a file
# the tests use is a seed whatever it is called, and a manifest naming a
# file that is gone stops the run. Copies are named after their paths, as
# folders share file names.
files=(tests/fuzz_corpus/* tests/data/bmpsuite/{g,q,b}/*.bmp)
while IFS=$'\t' read -r file _; do
  [[ -z "$file" || "$file" == \#* ]] || files+=("tests/data/$file")
done < <(cat tests/data/*/manifest.tsv)
while read -r file _; do
  [[ -z "$file" || "$file" == \#* ]] || files+=("tests/data/toolbmps/$file")
done <tests/data/toolbmps/manifest.txt
for file in "${files[@]}"; do
  copy="${file#tests/}"
  cp -- "$file" "$seeds/${copy//\//_}"
done
echo "fuzz.sh: ${#files[@]} seeds; photo_read_fuzz ${read_seconds} s, photo_upload_fuzz ${upload_seconds} s"

# fuzz TARGET SECONDS OPTION...: new inputs go to the target's own corpus,
# the seeds folder is only read.
fuzz() {
  local target="$1" limit="$2"
  shift 2
  "build-fuzz/fuzz/$target" -max_total_time="$limit" -rss_limit_mb=4096 -print_final_stats=1 \
    -artifact_prefix="$findings/$target-" "$@" "$corpus/$target" "$seeds"
}

# Leaks inside libraries that are not ours (Mesa, GLU and the other GL
# libraries for the upload target; the AV1 decoder for both) are
# suppressed; leaks in the project's code still count.
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan_suppressions.txt:print_suppressions=0"
status=0
fuzz photo_read_fuzz "$read_seconds" -timeout=10 || status=1
fuzz photo_upload_fuzz "$upload_seconds" -timeout=20 || status=1
exit "$status"
