# Sourced by the picture scripts: builds Kivra and opens a private Xvfb display
# with a warm wineserver; demo_start then starts the demo's simulated modem
# (as scripts/run.sh does) and the demo product. Kivra, the modem, the
# wineserver and the display end when the script exits.
# Needs $top; sets $build, $title (the demo window's title) and $kivra_pid.
build="${KIVRA_BUILD_DIR:-$top/build}"

bash "$top/scripts/build.sh"
source "$top/scripts/wine-session.sh"
source "$top/scripts/modem-ports.sh"
kivra_pid=""
demo_end() {
  if [ -n "$kivra_pid" ]; then kill "$kivra_pid" 2>/dev/null || true; fi
  demo_modem_end
  wine_session_end
}
trap demo_end EXIT
wine_session_start own

# The demo's window title: the translation of its configured title id.
title_id="$(sed -n 's:.*<title>\(.*\)</title>.*:\1:p' "$build/Kivra/common/config.xml" | head -n1)"
title="$(sed -n "s:.*<string id=\"$title_id\">\(.*\)</string>.*:\1:p" "$build/Kivra/language/am_EN.xml" | head -n1)"
title="${title:-$title_id}"

demo_start() {  # the modem, then Kivra.exe of the demo in the background, from its folder
  # The pictures show the demo as it first starts: its database as the build
  # made it, without the messages an earlier run imported from the simulator
  # (whose stamps move with the clock, so each run would add them again).
  rm -f "$build/Kivra/kivra.db" "$build/Kivra/kivra.db-wal" "$build/Kivra/kivra.db-shm"
  cp "$build/demo-data/kivra.db" "$build/Kivra/kivra.db"
  demo_modem_start "$build/Kivra" "$build/modem-sim.log"
  cd "$build/Kivra"
  wine Kivra.exe &
  kivra_pid=$!
}
