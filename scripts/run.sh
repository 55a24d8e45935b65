#!/usr/bin/env bash
# Installs what the project needs, builds it into build/ and runs the scene
# from there (its working directory holds the sample photographs).
#
# With a display (DISPLAY set) the scene opens on it; quit with ESC or 'q'.
# Without one, it runs the scene for a few seconds on a private Xvfb, saves
# build/screenshot.png, ends it with 'q' and reports its exit status.
# BRELVANE_BUILD_DIR chooses another build directory; RUN_SECONDS the time
# on Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BRELVANE_BUILD_DIR:-build}"

scripts/install-deps.sh
cmake --preset relwithdebinfo -B "$build" >/dev/null
cmake --build "$build" -j2
cd "$build"

if [ -n "${DISPLAY:-}" ]; then
  exec ./brelvane
fi

# No display: a private X server on a free display number.
fifo="$(mktemp -u)"
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb=$!
read -r number <"$fifo"
rm -f "$fifo"
export DISPLAY=":$number"
app=""
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT

# The window title is the program's path as typed.
./brelvane &
app=$!
window="$(timeout 15 xdotool search --sync --onlyvisible --name '^\./brelvane$' | head -n 1)"
if [ -z "$window" ]; then
  echo "brelvane: no window appeared" >&2
  exit 1
fi
# GLUT's default place is (-1, -1), one pixel off the screen, and xwd keeps
# only the visible part: move the window fully on screen for the capture.
xdotool windowmove --sync "$window" 0 0
sleep "${RUN_SECONDS:-3}"
xwd -id "$window" -silent | /usr/bin/convert xwd:- screenshot.png
echo "saved $(pwd)/screenshot.png"

# Focus follows the pointer when there is no window manager.
xdotool mousemove --window "$window" 320 240 key q
status=0
wait "$app" || status=$?
app=""
echo "brelvane exited with status $status"
exit "$status"
