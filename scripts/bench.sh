#!/usr/bin/env bash
# Builds the benchmark programs and runs every measure under Wine on a private
# Xvfb display, printing one line per measure: min / median / max of the
# measure and of its baseline from the same interleaved runs, the ratio of the
# medians and the target. KIVRA_BENCH_RUNS sets the runs per measure,
# KIVRA_BENCH_IDLE_SECONDS the idle period (30).
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
trap wine_session_end EXIT
wine_session_start own >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true

run() { "$build/wine-run.sh" "$@" 2>/dev/null | tr -d '\r'; }
winpath() { local p="Z:$1"; echo "${p//\//\\}"; }
products="$build/bench/products"
run "$build/bench/bench_skin.exe" make "$(winpath "$build/Kivra/")" "$(winpath "$products/")"
cp "$build/bench/bench_bare_platform.exe" "$products/demo/"  # reads the demo's files
mkdir -p "$products/idle/plugins" && cp "$build/bench/bench_probe.dll" "$products/idle/plugins/"

echo "Kivra benchmarks, $(date -u '+%Y-%m-%d %H:%M UTC'), $(wine --version), pinned to CPU $cpu with taskset," \
     "load average $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-44s %31s     | %-26s %31s | %-7s | %s\n' "measure" "min / median / max" "baseline" \
       "min / median / max" "ratio" "target"
run "$build/bench/bench_registry.exe"
run "$build/bench/bench_skin.exe" read "$(winpath "$products/")"
run "$build/bench/bench_startup.exe" startup \
    "demo=$(winpath "$products/demo/Kivra.exe")" \
    "1000-button skin=$(winpath "$products/buttons/Kivra.exe")" \
    "bare + platform loads=$(winpath "$products/demo/bench_bare_platform.exe")" \
    "bare + 1007 buttons=$(winpath "$build/bench/bench_bare_buttons.exe")" \
    "bare window program=$(winpath "$build/bench/bench_bare.exe")"
run "$build/bench/bench_startup.exe" idle "$idle" \
    "demo=$(winpath "$products/idle/Kivra.exe")" \
    "bare window program=$(winpath "$build/bench/bench_bare.exe")"
