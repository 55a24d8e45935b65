#!/usr/bin/env bash
# Installs what the project needs, builds it into build/ and runs the whole
# test suite (unit, headless-GL and Xvfb end-to-end tests) with CTest; checks
# the installed package with the example program and the source formatting.
# Then the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer
# (build-asan/), and a minute of fuzzing the BMP-to-texture path with
# libFuzzer (build-fuzz/, scripts/fuzz.sh). Any failure or finding fails it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"

# The libraries as a package: install into a staging prefix, build the example
# against that install alone, and run it briefly under Xvfb (it exits 0 only
# when its textured quad reached the window).
stage="$PWD/build/stage"
rm -rf "$stage"
cmake --install build --prefix "$stage" >/dev/null
cmake -S examples/textured_quad -B build/example-textured_quad -DCMAKE_PREFIX_PATH="$stage"
cmake --build build/example-textured_quad -j"$(nproc)"
test -x build/example-textured_quad/textured_quad
xvfb-run -a build/example-textured_quad/textured_quad --frames 20

# Formatting is checked now, reported at the end, so one unformatted file
# never hides the test results.
format_status=0
scripts/check-format.sh || format_status=$?

ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 300

# The suite again with ASan and UBSan in every library, test and the program
# (leak suppressions for the GL stack come with the tests' CTest settings).
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRELVANE_SANITIZE=ON
cmake --build build-asan -j"$(nproc)"
ctest --test-dir build-asan --output-on-failure -j"$(nproc)" --timeout 600

# A minute of coverage-guided fuzzing of BMP reading and texture upload.
scripts/fuzz.sh 60

# Keep last: fail on formatting only after everything else has run.
if [ "$format_status" -ne 0 ]; then
  echo "test.sh: formatting check failed (see the list above; fix with clang-format -i)" >&2
  exit "$format_status"
fi
