#!/usr/bin/env bash
# The port test's line: a socat pair in the build's Wine prefix (COM7 for the
# simulated modem, COM8 for the session, listed under SERIALCOMM), the
# simulator playing port-modem.txt on COM7, and modemport_tests.exe. socat
# ends when the test asks for it (the file "unplug" in the working folder),
# and in any case on the way out, with the simulator.
#
#   run-modemport.sh <build folder> <test program> <simulator> <script>
set -uo pipefail
build="$1" program="$2" simulator="$3" script="$4"
source "$(dirname "$0")/../../scripts/wine-session.sh"   # the prefix and Wine settings, as the tests have them
source "$(dirname "$0")/../../scripts/modem-ports.sh"
KIVRA_MODEM_PORT_VALUE='\Device\KivraPortTest'          # apart from the demo's listing
run="$build/wine-run.sh"
limit=120   # seconds for the whole test: it never hangs
work="$(mktemp -d)"
sim_pid="" watcher_pid=""

cleanup() {
  [ -n "$watcher_pid" ] && kill "$watcher_pid" 2>/dev/null
  modem_ports_end
  modem_simulator_end "$sim_pid"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

modem_ports_start 7 8 || exit 1
winpath() { local p="Z:$1"; echo "${p//\//\\}"; }
timeout "$limit" "$run" "$simulator" COM7 "$(winpath "$script")" > "$work/simulator.log" 2>/dev/null &
sim_pid=$!
# The far end ends when the test asks: the line goes away under the session.
( while [ ! -e "$work/unplug" ]; do sleep 0.1; done; kill "$KIVRA_SOCAT_PID" 2>/dev/null ) &
watcher_pid=$!

cd "$work"
# The wineserver prints its object table when a port hangs up: kept out of the log.
timeout "$limit" "$run" "$program" 2> "$work/stderr.log"
result=$?
if [ "$result" -ne 0 ]; then
  echo "--- simulator:"; cat "$work/simulator.log"
  [ "$result" -eq 124 ] && echo "modemport_tests did not end within $limit s"
fi
exit "$result"
