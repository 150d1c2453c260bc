# Sourced by the scripts: an X display (the caller's, or a private Xvfb) and a
# warm wineserver for the build's own prefix, both stopped by wine_session_end.
# Needs $build.
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
KIVRA_XVFB_PID=""

wine_session_start() {
  local want_own_display="${1:-auto}"
  if [ "$want_own_display" = "own" ] || [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
    local n=$((90 + RANDOM % 500))
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    KIVRA_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  fi
  # The first start creates the prefix (about 15 s); afterwards it is warm.
  wine wineboot -i >/dev/null 2>&1 || true
  wineserver -p >/dev/null 2>&1 || true
}

wine_session_end() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$KIVRA_XVFB_PID" ]; then kill "$KIVRA_XVFB_PID" 2>/dev/null || true; fi
}
