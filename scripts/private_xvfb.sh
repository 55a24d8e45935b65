# Sourced by the benchmark scripts: starts a private Xvfb (the server picks a
# free display number), exports DISPLAY for it and Mesa's software renderer,
# and stops the server when the sourcing script exits.
start_private_xvfb() {
  local fifo number
  fifo="$(mktemp -u)"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill "$xvfb" 2>/dev/null || true' EXIT
  read -r number <"$fifo"
  rm -f "$fifo"
  export DISPLAY=":$number"
  export LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=llvmpipe
}
