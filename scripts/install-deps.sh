#!/usr/bin/env bash
# Installs the Debian packages the project needs to build, run and test, and
# only those that are missing: when everything is there it asks dpkg and
# returns without touching the package manager. Uses sudo when not root.
set -euo pipefail
packages=(
  # build
  build-essential cmake g++ clang libclang-rt-14-dev clang-format pkg-config
  # libraries
  freeglut3-dev libglu1-mesa-dev libgl1-mesa-dev libegl-dev libegl-mesa0 libgl1-mesa-dri
  libgtest-dev libgmock-dev libbenchmark-dev libglm-dev libstb-dev
  libturbojpeg0-dev libspng-dev libexif-dev liblcms2-dev
  libgif-dev libwebp-dev libjxl-dev libtiff-dev
  libheif-dev libdav1d-dev libavcodec-dev
  # running the program and its end-to-end tests
  xvfb xauth xdotool x11-apps x11-utils imagemagick netpbm apitrace valgrind strace python3
  # remaking tests/data/toolbmps, photos, profiles, heif, web and tiff (make.py)
  python3-pil libjpeg-turbo-progs libimage-exiftool-perl colord-data
  libheif-examples libavif-bin
  webp libjxl-tools gifsicle
  libtiff-tools libgs-common icc-profiles-free
)

missing=()
for package in "${packages[@]}"; do
  status="$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)"
  [ "$status" = "installed" ] || missing+=("$package")
done
[ "${#missing[@]}" -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
