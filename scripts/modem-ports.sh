# Sourced by the scripts: a pair of linked serial ports in the Wine prefix, for
# the simulated modem (kivra-modem-sim.exe) on one and Kivra on the other.
# Needs $WINEPREFIX and a running wineserver (wine-session.sh).
#
#   modem_ports_start <modem port> <kivra port>   e.g. modem_ports_start 6 5
#   modem_ports_end
#
# socat joins two pseudo-terminals; Wine opens the links in dosdevices as
# COM<n>. The Kivra side is listed under HKLM\HARDWARE\DEVICEMAP\SERIALCOMM,
# where a USB modem's ports appear, so a modem search finds it. COM1 (this
# machine's console, /dev/ttyS0, listed as \Device\Serial0) stays as Wine
# makes it: a modem search leaves the built-in \Device\Serial<n> ports alone,
# and other tests (a plugin file named AUX, which Wine opens as COM1) see the
# prefix as it always is.
KIVRA_SOCAT_PID=""
KIVRA_MODEM_PORT_VALUE='\Device\KivraSimulatedModem'

modem_ports_start() {
  local modem="$1" kivra="$2" dev="$WINEPREFIX/dosdevices"
  command -v socat >/dev/null || { echo "socat is missing (scripts/deps.sh installs it)" >&2; return 1; }
  # A prefix is made whole first: Wine does not finish one whose dosdevices
  # folder is already there (measured: wineboot spun for minutes).
  [ -d "$WINEPREFIX/drive_c" ] || wine wineboot -i >/dev/null 2>&1 || true
  mkdir -p "$dev"
  rm -f "$dev/com$modem" "$dev/com$kivra"
  socat pty,raw,echo=0,link="$dev/com$modem" pty,raw,echo=0,link="$dev/com$kivra" 2>/dev/null &
  KIVRA_SOCAT_PID=$!
  # socat makes the links a moment after it starts.
  for _ in $(seq 50); do [ -e "$dev/com$modem" ] && [ -e "$dev/com$kivra" ] && break; sleep 0.1; done
  [ -e "$dev/com$kivra" ] || { echo "socat made no ports" >&2; return 1; }
  wine reg add 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v "$KIVRA_MODEM_PORT_VALUE" /d "COM$kivra" /f >/dev/null 2>&1
}

# modem_simulator_end <pid>: a simulator whose line is gone ends by itself
# within a moment; one that does not is ended. An empty pid does nothing.
modem_simulator_end() {
  local pid="$1"
  [ -n "$pid" ] || return 0
  for _ in $(seq 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill "$pid" 2>/dev/null || true
}

modem_ports_end() {
  if [ -n "$KIVRA_SOCAT_PID" ]; then kill "$KIVRA_SOCAT_PID" 2>/dev/null || true; fi
  KIVRA_SOCAT_PID=""
  wine reg delete 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v "$KIVRA_MODEM_PORT_VALUE" /f >/dev/null 2>&1 || true
}

# The demo's simulated modem: the simulator in the demo product's tools\
# playing a script (tools\demo-modem.txt unless given, a path as Windows
# sees it) on COM6, Kivra's end COM5. Its output goes to log.
#
#   demo_modem_start <product folder> <log> [script]
#   demo_modem_end
KIVRA_DEMO_MODEM_PID=""

demo_modem_start() {
  local product="$1" log="$2" script="${3:-tools\\demo-modem.txt}"
  modem_ports_start 6 5 || return 1
  (cd "$product" && exec wine tools/kivra-modem-sim.exe COM6 "$script") > "$log" 2>/dev/null &
  KIVRA_DEMO_MODEM_PID=$!
}

demo_modem_end() {
  # The line goes first: without it the simulator ends by itself.
  modem_ports_end
  modem_simulator_end "$KIVRA_DEMO_MODEM_PID"
  KIVRA_DEMO_MODEM_PID=""
}
