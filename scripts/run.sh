#!/usr/bin/env bash
# Builds Kivra and starts it with the demo product under Wine: on your X
# display when there is one, otherwise on a private Xvfb display, where a
# screenshot is saved once the main window is up.
#
# The demo's modem is the simulator (tools\kivra-modem-sim.exe playing
# tools\demo-modem.txt) on COM6 of a socat port pair; Kivra finds the other
# end, COM5, where Windows lists a USB modem's ports. KIVRA_MODEM_SCRIPT
# plays another script. KIVRA_MODEM=/dev/ttyUSB2 (a real modem's AT port)
# links that device as COM5 instead and starts no simulator.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${KIVRA_BUILD_DIR:-$top/build}"

bash "$top/scripts/build.sh"
source "$top/scripts/wine-session.sh"
source "$top/scripts/modem-ports.sh"
# The modem goes before Wine.
stop_all() {
  demo_modem_end
  if [ -n "${KIVRA_MODEM:-}" ]; then
    rm -f "$WINEPREFIX/dosdevices/com5"
    wine reg delete 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v "$KIVRA_MODEM_PORT_VALUE" /f >/dev/null 2>&1 || true
  fi
  wine_session_end
}
trap stop_all EXIT
wine_session_start auto

cd "$build/Kivra"
if [ -n "${KIVRA_MODEM:-}" ]; then
  [ -c "$KIVRA_MODEM" ] || { echo "$KIVRA_MODEM is no serial device" >&2; exit 1; }
  ln -sfn "$KIVRA_MODEM" "$WINEPREFIX/dosdevices/com5"
  wine reg add 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v "$KIVRA_MODEM_PORT_VALUE" /d COM5 /f >/dev/null 2>&1
  echo "The modem on $KIVRA_MODEM is COM5."
else
  script="${KIVRA_MODEM_SCRIPT:-tools\\demo-modem.txt}"
  demo_modem_start "$build/Kivra" "$build/modem-sim.log" "$script"
  echo "The simulated modem plays $script on COM6 (its log: $build/modem-sim.log); Kivra finds COM5."
fi
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
