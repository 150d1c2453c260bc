#!/usr/bin/env bash
# Builds the benchmark programs and runs every measure under Wine on a private
# Xvfb display, printing one line per measure: min / median / max of the
# measure and of its baseline from the same interleaved runs, the ratio of the
# medians and the target. KIVRA_BENCH_RUNS sets the runs per measure (the
# start-up lines take 21 by default), KIVRA_BENCH_SAMPLES a file (a Windows
# path) that gets each sample of the interleaved measures as it is taken,
# KIVRA_BENCH_IDLE_SECONDS the idle period (30), KIVRA_BENCH_ONLY a part
# (registry, skin, buttons, startup, steps, plugins, idle, codec, database,
# modem, sms; all by default). KIVRA_BENCH_MODEM_IDLE_SECONDS sets the modem
# session's idle period (60).
#
# Wine's processes and Xvfb are pinned to one CPU (taskset): spread over two,
# every wineserver round trip wakes an idle CPU and Wine-side timings swing
# five-fold. The machine is shared, so compare ratios, not milliseconds.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${KIVRA_BUILD_DIR:-$top/build}"
cpu="${KIVRA_BENCH_CPU:-1}"
idle="${KIVRA_BENCH_IDLE_SECONDS:-30}"

bash "$top/scripts/build.sh" >/dev/null
cmake --build "$build" --target bench -j "$(nproc)" >/dev/null

# Everything started from here on (Xvfb, wineserver, the programs) runs on one CPU.
taskset -pc "$cpu" $$ >/dev/null
source "$top/scripts/wine-session.sh"
source "$top/scripts/modem-ports.sh"
trap 'modem_ports_end; wine_session_end' EXIT
wine_session_start own >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true

run() { "$build/wine-run.sh" "$@" 2>/dev/null | tr -d '\r'; }
# The parts KIVRA_BENCH_ONLY names (blank-separated), or all.
part() { [[ -z "${KIVRA_BENCH_ONLY:-}" || " $KIVRA_BENCH_ONLY " == *" $1 "* ]]; }
winpath() { local p="Z:$1"; echo "${p//\//\\}"; }
products="$build/bench/products"
run "$build/bench/bench_skin.exe" make "$(winpath "$build/Kivra/")" "$(winpath "$products/")"
cp "$build/bench/bench_bare_platform.exe" "$build/bench/bench_bare_platform_buttons.exe" \
   "$build/bench/bench_bare_platform_more.exe" "$products/demo/"  # read the demo's files
mkdir -p "$products/idle/plugins" && cp "$build/bench/bench_probe.dll" "$products/idle/plugins/"
# Copies of the demo: without its plugins; with the plugin floor's stand-in
# Kivra.exe, which loads the plugins and calls nothing; with each plugin
# behind a stand-in that times it (the real library beside it as .real).
# And the demo with its plugins on the shared C++ runtime, plain and timed.
for copy in noplugins plugin-floor timed shared-runtime timed-shared-runtime; do
    rm -rf "${products:?}/$copy" && cp -r "$products/demo" "$products/$copy"
done
rm -f "$products/noplugins/plugins/"*.dll
cp "$build/bench/host-floor/Kivra.exe" "$products/plugin-floor/Kivra.exe"
for copy in shared-runtime timed-shared-runtime; do
    cp "$build/bench/shared-runtime/"lib*.dll "$products/$copy/"
    cp "$build/bench/shared-runtime/"{connect,sms,statistics}.dll "$products/$copy/plugins/"
done
for dll in "$products/timed/plugins/"*.dll "$products/timed-shared-runtime/plugins/"*.dll; do
    mv "$dll" "${dll%.dll}.real" && cp "$build/bench/bench_timed_plugin.dll" "$dll"
done

echo "Kivra benchmarks, $(date -u '+%Y-%m-%d %H:%M UTC'), $(wine --version), pinned to CPU $cpu with taskset," \
     "load average $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-44s %31s     | %-26s %31s | %-7s | %s\n' "measure" "min / median / max" "baseline" \
       "min / median / max" "ratio" "target"
part registry && run "$build/bench/bench_registry.exe"
part codec && run "$build/bench/bench_codec.exe"
part skin && run "$build/bench/bench_skin.exe" read "$(winpath "$products/")"
part buttons && run "$build/bench/bench_button_causes.exe"
part startup && run "$build/bench/bench_startup.exe" startup \
    "demo without plugins=$(winpath "$products/noplugins/Kivra.exe")" "@bare + platform loads" \
    "demo=$(winpath "$products/demo/Kivra.exe")" "@bare + platform + plugin DLLs" \
    "demo, first start=$(winpath "$products/demo/Kivra.exe")" "@bare + platform + plugin DLLs" +first-start \
    "demo, plugins on shared C++ runtime=$(winpath "$products/shared-runtime/Kivra.exe")" \
    "@bare + platform + plugin DLLs" \
    "1000-button skin=$(winpath "$products/buttons/Kivra.exe")" "@bare + 1007 buttons" \
    "bare + platform loads=$(winpath "$products/demo/bench_bare_platform.exe")" \
    "bare + platform + documents, region, tray, text=$(winpath "$products/demo/bench_bare_platform_more.exe")" \
    "bare + platform + plugin DLLs=$(winpath "$products/plugin-floor/Kivra.exe")" \
    "bare + 1007 buttons=$(winpath "$build/bench/bench_bare_buttons.exe")" \
    "bare + platform + 1007 buttons=$(winpath "$products/demo/bench_bare_platform_buttons.exe")" \
    "bare window program=$(winpath "$build/bench/bench_bare.exe")"
part steps && run "$build/bench/bench_startup.exe" steps "demo without plugins=$(winpath "$products/noplugins/Kivra.exe")"
part steps && run "$build/bench/bench_startup.exe" steps "demo=$(winpath "$products/demo/Kivra.exe")"
part steps && run "$build/bench/bench_startup.exe" steps "1000-button skin=$(winpath "$products/buttons/Kivra.exe")"
part plugins && run "$build/bench/bench_startup.exe" plugins "demo=$(winpath "$products/timed/Kivra.exe")"
part plugins && run "$build/bench/bench_startup.exe" plugins \
    "shared C++ runtime=$(winpath "$products/timed-shared-runtime/Kivra.exe")"
part database && run "$build/bench/bench_database.exe"
if part modem; then
    # The modem session over the simulated port pair: the simulator (each run
    # starts its own) on COM6, the session's side COM5, listed under SERIALCOMM.
    modem_ports_start 6 5
    modem=("$(winpath "$build/Kivra/tools/kivra-modem-sim.exe")" "$(winpath "$top/bench/bench-modem.txt")")
    run "$build/bench/bench_modem.exe" "${modem[@]}" status
    run "$build/bench/bench_modem.exe" "${modem[@]}" roundtrip
    run "$build/bench/bench_modem.exe" "${modem[@]}" idle "${KIVRA_BENCH_MODEM_IDLE_SECONDS:-60}"
    modem_ports_end
fi
part sms && run "$build/bench/bench_sms_list.exe"
part idle && run "$build/bench/bench_startup.exe" idle "$idle" \
    "demo=$(winpath "$products/idle/Kivra.exe")" \
    "bare window program=$(winpath "$build/bench/bench_bare.exe")"
exit 0
