# Sourced by the picture scripts: builds Kivra and opens a private Xvfb display
# with a warm wineserver; demo_start then starts the demo product. Kivra, the
# wineserver and the display end when the script exits.
# Needs $top; sets $build, $title (the demo window's title) and $kivra_pid.
build="${KIVRA_BUILD_DIR:-$top/build}"

bash "$top/scripts/build.sh"
source "$top/scripts/wine-session.sh"
kivra_pid=""
demo_end() {
  if [ -n "$kivra_pid" ]; then kill "$kivra_pid" 2>/dev/null || true; fi
  wine_session_end
}
trap demo_end EXIT
wine_session_start own

# The demo's window title: the translation of its configured title id.
title_id="$(sed -n 's:.*<title>\(.*\)</title>.*:\1:p' "$build/Kivra/common/config.xml" | head -n1)"
title="$(sed -n "s:.*<string id=\"$title_id\">\(.*\)</string>.*:\1:p" "$build/Kivra/language/am_EN.xml" | head -n1)"
title="${title:-$title_id}"

demo_start() {  # Kivra.exe of the demo, in the background, from its folder
  cd "$build/Kivra"
  wine Kivra.exe &
  kivra_pid=$!
}
