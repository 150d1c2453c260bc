#!/usr/bin/env bash
# Builds everything and runs every test under Wine, on a private Xvfb display.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${KIVRA_BUILD_DIR:-$top/build}"

bash "$top/scripts/build.sh"
source "$top/scripts/wine-session.sh"
trap wine_session_end EXIT
wine_session_start own
cd "$build"
ctest --output-on-failure -j "$(nproc)" --timeout 300
