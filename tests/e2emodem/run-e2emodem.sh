#!/usr/bin/env bash
# The end-to-end modem test's line: a socat pair in the build's Wine prefix
# (COM7 for the simulated modem, COM8 for Kivra, listed under SERIALCOMM) and
# e2emodem_tests.exe, which starts a copy of the demo product. The simulator
# plays e2e-modem.txt on COM7 from the moment the test asks (the file
# "plug-modem" in the working folder), once Kivra runs: its message then
# arrives at a known time after Kivra's session has the modem. socat and the
# simulator end on the way out, whatever happens.
#
#   run-e2emodem.sh <build folder> <test program> <simulator> <script>
set -uo pipefail
build="$1" program="$2" simulator="$3" script="$4"
source "$(dirname "$0")/../../scripts/wine-session.sh"   # the prefix and Wine settings, as the tests have them
source "$(dirname "$0")/../../scripts/modem-ports.sh"
KIVRA_MODEM_PORT_VALUE='\Device\KivraEndToEnd'          # apart from the demo's listing
run="$build/wine-run.sh"
limit=150   # seconds for the whole test: it never hangs
work="$(mktemp -d)"
watcher_pid=""

cleanup() {
  [ -n "$watcher_pid" ] && kill "$watcher_pid" 2>/dev/null
  modem_ports_end
  [ -s "$work/simulator.pid" ] && modem_simulator_end "$(cat "$work/simulator.pid")"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

modem_ports_start 7 8 || exit 1
winpath() { local p="Z:$1"; echo "${p//\//\\}"; }
# The modem is plugged in when the test asks, within its time limit.
(
  for _ in $(seq $((limit * 10))); do [ -e "$work/plug-modem" ] && break; sleep 0.1; done
  [ -e "$work/plug-modem" ] || exit 0
  timeout "$limit" "$run" "$simulator" COM7 "$(winpath "$script")" > "$work/simulator.log" 2>/dev/null &
  echo $! > "$work/simulator.pid"
  wait
) &
watcher_pid=$!

cd "$work"
# The wineserver prints its object table when a port hangs up: kept out of the log.
timeout "$limit" "$run" "$program" 2> "$work/stderr.log"
result=$?
if [ "$result" -ne 0 ]; then
  echo "--- simulator:"; cat "$work/simulator.log" 2>/dev/null
  [ "$result" -eq 124 ] && echo "e2emodem_tests did not end within $limit s"
fi
exit "$result"
