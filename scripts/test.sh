#!/usr/bin/env bash
# Installs what the project needs, builds it into build/ and runs the whole
# test suite (unit, headless-GL and Xvfb end-to-end tests) with CTest; checks
# the installed package with the example program and the source formatting.
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

# Keep last: fail on formatting only after everything else has run.
if [ "$format_status" -ne 0 ]; then
  echo "test.sh: formatting check failed (see the list above; fix with clang-format -i)" >&2
  exit "$format_status"
fi
