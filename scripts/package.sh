#!/usr/bin/env bash
# Makes the Windows packages of a release build:
#   dist/Kivra-<version>-setup.exe   the installer (per user, no administrator rights)
#   dist/Kivra-<version>.zip         the same program folder, for portable use
#   dist/Kivra-<version>-sdk.zip     headers and import libraries for plugin authors
# The release is built without tests in its own folder (KIVRA_RELEASE_DIR,
# default build-release/), in the configuration the tests run (RelWithDebInfo:
# the shipped files carry no debug info; it stays in build-release/symbols/
# for reading crash reports). KIVRA_DIST_DIR sets the output folder.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${KIVRA_RELEASE_DIR:-$top/build-release}"
dist="${KIVRA_DIST_DIR:-$top/dist}"

bash "$top/scripts/deps.sh"
cmake -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIVRA_TESTS=OFF >/dev/null
cmake --build "$build" -j 2

mkdir -p "$dist"
bash "$top/installer/make-installer.sh" --zip --stage "$build/package" "$build/Kivra" "$dist"

# The plugin SDK: what a plugin is compiled and linked against, which the
# installer and the program archive leave out.
version="$(bash "$top/installer/version.sh")"
sdk="$build/package/sdk/Kivra-sdk"
rm -rf "$build/package/sdk"
mkdir -p "$sdk/include" "$sdk/lib"
cp "$top"/sdk/*.h "$build/sdk/sqlite3.h" "$sdk/include/"
cp "$build"/Kivra/*.a "$sdk/lib/"
rm -f "$dist/Kivra-$version-sdk.zip"
(cd "$build/package/sdk" && zip -q -r -X "$dist/Kivra-$version-sdk.zip" Kivra-sdk)
echo "$dist/Kivra-$version-sdk.zip"
