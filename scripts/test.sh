#!/usr/bin/env bash
# Installs what the project needs, builds it into build/ and runs the whole
# test suite (unit, headless-GL and Xvfb end-to-end tests) with CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 300
