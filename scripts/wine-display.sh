# Sourced by the checks that drive a Windows program under Wine on a virtual
# display. wine_display OUT_DIR SIZE makes a Wine prefix of the check's own
# in OUT_DIR/prefix (half a minute the first time) and a virtual display of
# SIZE (such as 1366x768) on the first free number from 90, starts both, and
# puts the display's process first into `pids`; wine_display_end stops every
# process in `pids` and the prefix's server. fail and step print;
# wait_for_window finds a window by its caption.
pids=()
fail() { echo "FAILED: $*" >&2; exit 1; }
step() { echo "== $*"; }

wine_display() {
  local out=$1 size=$2 display=90
  export WINEPREFIX="$out/prefix" WINEARCH=win64 WINEDEBUG=-all
  while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
    display=$((display + 1))
  done
  export DISPLAY=":$display"
  Xvfb "$DISPLAY" -screen 0 "${size}x24" -nolisten tcp >"$out/xvfb.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done

  step "Wine prefix $WINEPREFIX"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    WINEDLLOVERRIDES="mscoree,mshtml=" wineboot --init >"$out/wineboot.log" 2>&1
  fi
  wineserver -p 2>/dev/null || true
  wineboot >/dev/null 2>&1
}

# wait_for_window REGEX TENTHS: the first window whose caption matches, in
# `window`, waiting up to TENTHS tenths of a second; fails the check without.
wait_for_window() {
  window=
  for _ in $(seq "$2"); do
    window=$(xdotool search --name "$1" 2>/dev/null | head -1) && [ -n "$window" ] && return 0
    sleep 0.1
  done
  fail "no window with a caption matching $1"
}

wine_display_end() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wineserver -k 2>/dev/null || true
}
