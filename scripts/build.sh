#!/usr/bin/env bash
# Builds Kivra.exe, its libraries, the product folder and the tests into build/.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${KIVRA_BUILD_DIR:-$top/build}"

bash "$top/scripts/deps.sh"
cmake -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build" -j "$(nproc)"
