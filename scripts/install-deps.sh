#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test.
set -euo pipefail
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
  build-essential cmake g++ clang libclang-rt-14-dev clang-format \
  freeglut3-dev libglu1-mesa-dev libgl1-mesa-dev libegl-dev libegl-mesa0 libgl1-mesa-dri \
  libgtest-dev libgmock-dev libbenchmark-dev libglm-dev libstb-dev \
  xvfb xauth xdotool x11-apps x11-utils imagemagick netpbm python3-pil apitrace valgrind strace python3 \
  >/dev/null
