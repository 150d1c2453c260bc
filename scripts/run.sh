#!/usr/bin/env bash
# Builds Kivra and starts it with the demo product under Wine: on your X
# display when there is one, otherwise on a private Xvfb display, where a
# screenshot is saved once the main window is up.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${KIVRA_BUILD_DIR:-$top/build}"

bash "$top/scripts/build.sh"
source "$top/scripts/wine-session.sh"
trap wine_session_end EXIT
wine_session_start auto

cd "$build/Kivra"
if [ -z "$KIVRA_XVFB_PID" ]; then
  echo "Starting Kivra.exe on display $DISPLAY (close it from its tray menu or title bar)."
  wine Kivra.exe
  exit 0
fi

shot="$build/kivra-screenshot.png"
echo "No X display: starting Kivra.exe on a private Xvfb display ($DISPLAY)."
wine Kivra.exe &
kivra_pid=$!
# Wait until the main window is mapped, then let it paint.
for _ in $(seq 100); do
  xdotool search --name . >/dev/null 2>&1 && xdotool search --onlyvisible --class kivra.exe >/dev/null 2>&1 && break
  sleep 0.2
done
sleep 2
import -window root "$shot"
echo "Screenshot of the running Kivra: $shot"
echo "Kivra keeps running on $DISPLAY until you press Enter."
read -r _ || true
kill "$kivra_pid" 2>/dev/null || true
