#!/usr/bin/env bash
# Installs what building and testing Kivra needs on Debian, when it is missing.
# Safe to run again: it does nothing once everything is there.
set -euo pipefail

packages=(g++-mingw-w64-i686-posix mingw-w64-i686-dev cmake wine wine32:i386 wine64
          xvfb xauth x11-utils imagemagick xdotool googletest)
# The installer and the archive (scripts/package.sh; the installer's test
# makes one too).
packages+=(nsis zip)
# SQLite's amalgamation is made from Debian's source package
# (scripts/fetch-sqlite.sh): its generator is a Tcl script.
packages+=(tcl xz-utils)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
# A mirror in the middle of a sync fails one index now and then ("File has
# unexpected size"): try again, and go on with what was fetched if it still
# fails, so the install itself says what is really missing.
for attempt in 1 2 3; do
  $SUDO apt-get update -qq && break
  echo "apt-get update failed (attempt $attempt); trying again" >&2
  sleep $((attempt * 10))
done
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
