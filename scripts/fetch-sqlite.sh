#!/usr/bin/env bash
# Makes SQLite's one-file amalgamation (sqlite3.c, sqlite3.h) from Debian's
# own source package and prints the folder that holds it.
#
# The amalgamation is cached in $KIVRA_CACHE_DIR (default ~/.cache/kivra),
# outside any build tree, so a rebuild or a fresh build folder does not fetch
# again. The machine's apt set-up is left alone: the source package comes
# through a private sources folder of our own.
set -euo pipefail

suite="${KIVRA_SQLITE_SUITE:-bookworm}"
cache="${KIVRA_CACHE_DIR:-$HOME/.cache/kivra}"
out="$cache/sqlite-$suite"

for dir in "$out" "$cache/sqlite" "$cache"; do
  if [ -s "$dir/sqlite3.c" ] && [ -s "$dir/sqlite3.h" ]; then
    echo "$dir"
    exit 0
  fi
done

# Everything below talks on stderr: stdout carries the folder only.
exec 3>&1 1>&2
mkdir -p "$cache"
work="$(mktemp -d "$cache/sqlite-fetch.XXXXXX")"
trap 'rm -rf "$work"' EXIT

sources="$work/apt"
mkdir -p "$sources/lists/partial" "$sources/archives/partial"
cat >"$sources/kivra-src.sources" <<EOF
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $suite
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
apt_private=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$sources"
             -o Dir::State::Lists="$sources/lists" -o Dir::Cache::Archives="$sources/archives"
             -o Debug::NoLocking=1 -o APT::Sandbox::User=root)

echo "Fetching the sqlite3 source package ($suite)"
apt-get "${apt_private[@]}" -qq update
(cd "$work" && apt-get "${apt_private[@]}" -qq source --download-only sqlite3)

orig="$(ls "$work"/sqlite3_*.orig.tar.* 2>/dev/null | head -n 1)"
[ -n "$orig" ] || { echo "no sqlite3 source archive was fetched" >&2; exit 1; }
mkdir -p "$work/src"
tar -xf "$orig" -C "$work/src" --strip-components=1

echo "Making the amalgamation"
command -v tclsh >/dev/null || { echo "tclsh is missing (scripts/deps.sh installs tcl)" >&2; exit 1; }
(cd "$work/src" && ./configure --quiet >/dev/null && make -s sqlite3.c >/dev/null)

# Moved into place last, so an interrupted fetch leaves no half cache.
mkdir -p "$work/out"
cp "$work/src/sqlite3.c" "$work/src/sqlite3.h" "$work/out/"
rm -rf "$out"
mv "$work/out" "$out"
echo "$out" >&3
