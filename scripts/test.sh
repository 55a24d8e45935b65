#!/usr/bin/env bash
# The test command, in stages that never hide each other's results:
#
#   scripts/test.sh          everything (what CI runs):
#     deps     install the Debian packages that are missing
#     build    the libraries, program and tests (preset relwithdebinfo, build/)
#     suite    the whole CTest suite: unit, headless GL, Xvfb end to end, the
#              soak and the sweep (the program run on every test BMP file)
#     package  install into a staging prefix; check its pkg-config modules
#              (brelvane-gr without GLUT) and that exactly the public headers
#              are there, each documented; build and run the example against
#              it with find_package, and compile and run it against the
#              pkg-config module brelvane
#     asan     (built at low priority while the suite runs)
#              the suite built with AddressSanitizer and
#              UndefinedBehaviorSanitizer (preset asan, build-asan/), less the
#              end-to-end tests of the program (tests/e2e, not built there)
#     fuzz     half a minute of fuzzing, split between its two targets:
#              photograph reading from memory without GL (photo_read_fuzz)
#              and the whole path into a texture (photo_upload_fuzz)
#              (build-fuzz/; scripts/fuzz.sh 600 for a long run)
#     minimal  (built in the background too) the photograph library with
#              every optional format left out (preset minimal,
#              build-minimal/): its unit tests, a JPEG refused by name
#     format   the sources against .clang-format
#   scripts/test.sh quick    deps, build and the suite without the soak and
#                            the sweep: the check for daily work, under 3
#                            minutes from a clean clone
#
# A stage that fails does not stop the others (a stage that needs the build
# is skipped when the build failed). The last lines summarise every stage;
# the exit status is non-zero when any stage failed.
set -uo pipefail
cd "$(dirname "$0")/.."

mode="${1:-full}"
case "$mode" in
  full | quick) ;;
  -h | --help)
    awk 'NR > 1 && !/^#/ { exit } NR > 1 { sub(/^# ?/, ""); print }' "$0"
    exit 0
    ;;
  *)
    echo "usage: scripts/test.sh [full|quick]" >&2
    exit 2
    ;;
esac
jobs="$(nproc)"

summary=()
passed=0
failed=0
declare -A outcome

# run_stage NAME DESCRIPTION COMMAND...
run_stage() {
  local name="$1" description="$2"
  shift 2
  echo
  echo "==> test.sh [$name] $description"
  local start=$SECONDS status=0
  "$@" || status=$?
  local took=$((SECONDS - start))
  if [ "$status" -eq 0 ]; then
    outcome[$name]=pass
    passed=$((passed + 1))
    summary+=("$name pass (${took} s)")
  else
    outcome[$name]=fail
    failed=$((failed + 1))
    summary+=("$name FAIL (${took} s)")
    echo "==> test.sh [$name] failed with status $status" >&2
  fi
}

skip_stage() {
  summary+=("$1 skipped ($2)")
  failed=$((failed + 1))
  echo
  echo "==> test.sh [$1] skipped: $2" >&2
}

build_main() {
  cmake --preset relwithdebinfo >/dev/null && cmake --build --preset relwithdebinfo -j"$jobs"
}

suite() {
  ctest --preset relwithdebinfo -j"$jobs" --timeout 300 "$@"
}

# The libraries as a package: installed into a staging prefix, checked for
# its pkg-config modules and its headers, and the example built on that
# install alone, once through find_package and once through pkg-config, each
# build run briefly under Xvfb on its sample BMP and on a JPEG photograph (it
# exits 0 only when its textured quad reached the window).
package_check() {
  local stage="$PWD/build/stage" example=build/example-textured_quad
  local photo=tests/data/photos/pil-busy-640x480.jpg
  rm -rf "$stage" "$example"
  cmake --install build --prefix "$stage" >/dev/null || return
  # Exported for the checks and compilers below only.
  local -x PKG_CONFIG_PATH
  local pc
  pc="$(find "$stage" -name brelvane.pc -print -quit)"
  [ -n "$pc" ] || { echo "package: no brelvane.pc under $stage" >&2; return 1; }
  PKG_CONFIG_PATH="$(dirname "$pc")"
  package_modules || return
  package_headers "$stage/include/brelvane" build/package || return

  cmake -S examples/textured_quad -B "$example" -DCMAKE_PREFIX_PATH="$stage" >/dev/null || return
  cmake --build "$example" -j"$jobs" || return
  xvfb-run -a "$example/textured_quad" --frames 20 || return
  xvfb-run -a "$example/textured_quad" "$photo" --frames 20 || return

  local flags
  flags="$(pkg-config --cflags --libs brelvane)" || return
  # shellcheck disable=SC2086  # the flags are words
  c++ -std=c++17 -Wall -Wextra examples/textured_quad/*.cpp $flags -o "$example/textured_quad_pc" ||
    return
  xvfb-run -a "$example/textured_quad_pc" --frames 20 || return
  xvfb-run -a "$example/textured_quad_pc" "$photo" --frames 20
}

# Every module is in the staged folder (PKG_CONFIG_PATH) and resolves; the
# graphics module, which needs neither a window system nor an image library,
# pulls in no GLUT and none of the photograph library's modules, and links a
# texture-only program on its own; the photograph module links one that
# reads photographs.
package_modules() {
  local modules=(brelvane brelvane-utils brelvane-math brelvane-gr brelvane-photo brelvane-vorn)
  local module
  for module in "${modules[@]}"; do
    [ -f "$PKG_CONFIG_PATH/$module.pc" ] || { echo "package: no $module.pc" >&2; return 1; }
  done
  for module in "${modules[@]}"; do
    pkg-config --cflags --libs "$module" >/dev/null || return
  done
  local gr_requires image_modules
  gr_requires="$(pkg-config --print-requires brelvane-gr brelvane-math brelvane-utils | awk '{print $1}')"
  image_modules="$(pkg-config --print-requires brelvane-photo | awk '{print $1}' | grep -v '^brelvane')"
  for module in glut $image_modules; do
    if grep -qxF "$module" <<<"$gr_requires"; then
      echo "package: brelvane-gr requires $module: $(xargs <<<"$gr_requires")" >&2
      return 1
    fi
  done
  local flags
  flags="$(pkg-config --cflags --libs brelvane-gr)" || return
  # shellcheck disable=SC2086  # the flags are words
  printf '%s\n' '#include "graphics/bmp.h"' '#include "graphics/texture_object.h"' \
    'int main(int, char** argv) { libgr::grBmpFile file; libgr::grTextureObject texture;' \
    '  return file.read(argv[0]) && texture.isLoaded(); }' |
    c++ -std=c++17 -x c++ - $flags -o build/package/graphics_only || return
  flags="$(pkg-config --cflags --libs brelvane-photo)" || return
  # shellcheck disable=SC2086  # the flags are words
  printf '%s\n' '#include "photo/photo_texture.h"' \
    'int main(int, char** argv) { libgr::grPhotoTexture photo; return photo.load(argv[0]); }' |
    c++ -std=c++17 -x c++ - $flags -o build/package/photo_only
}

# package_headers INCLUDE_DIR LISTS_DIR: the staged headers are exactly the
# public list (and none is on the internal list), each is described in
# docs/headers.md, and every header one of them includes by quoted name is
# staged too.
package_headers() {
  local include="$1" lists="$2" status=0 header included staged
  if [ ! -s "$lists/public-headers.txt" ] || [ ! -f "$lists/internal-headers.txt" ]; then
    echo "package: no header lists in $lists" >&2
    return 1
  fi
  staged="$(cd "$include" && find . -type f | sed 's|^\./||' | sort)" || return
  if ! diff <(sort "$lists/public-headers.txt") <(echo "$staged"); then
    echo "package: the staged headers (>) differ from the public list (<)" >&2
    status=1
  fi
  while read -r header; do
    [ -z "$header" ] && continue
    [ ! -e "$include/$header" ] || { echo "package: internal $header is installed" >&2; status=1; }
  done <"$lists/internal-headers.txt"
  while read -r header; do
    grep -qF "\`$header\`" docs/headers.md ||
      { echo "package: $header is not in docs/headers.md" >&2; status=1; }
    while read -r included; do
      [ -e "$include/$included" ] ||
        { echo "package: $header includes $included, which is not installed" >&2; status=1; }
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$include/$header")
  done <"$lists/public-headers.txt"
  return "$status"
}

build_asan() {
  cmake --preset asan >/dev/null && cmake --build --preset asan -j"$jobs"
}

# The sanitizer and fuzzer builds take minutes of compiling; the suite spends
# most of its time waiting on programs under Xvfb. So they are built while the
# suite runs, at the lowest priority (nice 19: they take only what the suite
# leaves idle), and their stage waits for them.
build_fuzzer() {
  cmake --preset fuzz -DBRELVANE_BUILD_TESTS=OFF >/dev/null &&
    cmake --build --preset fuzz --target photo_read_fuzz photo_upload_fuzz -j"$jobs"
}
# The photograph library's unit tests, with no optional format built.
build_minimal() {
  cmake --preset minimal >/dev/null &&
    cmake --build --preset minimal --target tests-photo-unit -j"$jobs"
}
minimal_suite() {
  grep -qx minimal-built "$background_log" || { echo "minimal: the build failed" >&2; return 1; }
  ctest --preset minimal -L unit -R '^photo\.'
}
background_log=build-background.log
start_background_builds() {
  (
    nice -n 19 bash -c "$(declare -f build_asan); jobs=$jobs; build_asan" &&
      echo asan-built
    nice -n 19 bash -c "$(declare -f build_minimal); jobs=$jobs; build_minimal" &&
      echo minimal-built
    nice -n 19 bash -c "$(declare -f build_fuzzer); jobs=$jobs; build_fuzzer"
  ) >"$background_log" 2>&1 &
  background_pid=$!
}
wait_background_asan() {
  wait "$background_pid"
  cat "$background_log"
  grep -qx asan-built "$background_log"
}

# Left out under the sanitizers (the asan preset does not build them), as
# they would add minutes again for code other sanitized tests already run:
# the end-to-end tests of the program under Xvfb. The scene's own tests still
# run the application object in a real GLUT window (its photographs read on
# their threads and uploaded), and every test file goes through the readers
# and the upload in the graphics tables and the fuzzer.
asan_suite() {
  ctest --preset asan -j"$jobs" --timeout 600 -LE 'soak|sweep'
}

run_stage deps "installing missing Debian packages" scripts/install-deps.sh
run_stage build "building into build/" build_main
if [ "$mode" = quick ]; then
  if [ "${outcome[build]}" = pass ]; then
    run_stage suite "the suite without the soak and the sweep (ctest -LE 'soak|sweep')" suite -LE 'soak|sweep'
  else
    skip_stage suite "the build failed"
  fi
else
  start_background_builds
  if [ "${outcome[build]}" = pass ]; then
    run_stage suite "the whole suite" suite
    run_stage package "the installed package: find_package and pkg-config" package_check
  else
    skip_stage suite "the build failed"
    skip_stage package "the build failed"
  fi
  run_stage asan-build "building with ASan and UBSan into build-asan/ (and build-minimal/ and the fuzzers in build-fuzz/), begun beside the suite" wait_background_asan
  if [ "${outcome[asan-build]}" = pass ]; then
    run_stage asan "the suite under ASan and UBSan (less the program's end-to-end tests)" asan_suite
  else
    skip_stage asan "the sanitizer build failed"
  fi
  run_stage fuzz "half a minute of fuzzing: photograph reading without GL, then texture upload" scripts/fuzz.sh 30
  run_stage minimal "the photograph library with no optional format (build-minimal/)" minimal_suite
  run_stage format "the sources against .clang-format" scripts/check-format.sh
fi

echo
echo "==> test.sh $mode: $(IFS=';'; echo "${summary[*]}" | sed 's/;/ · /g')"
echo "stages: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
