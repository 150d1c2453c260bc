#!/usr/bin/env bash
# Makes Kivra's Windows installer, and with --zip the portable archive, from a
# product folder as the build lays it out (build/Kivra/):
#
#   installer/make-installer.sh [--zip] [--stage <folder>] <product folder> <output folder>
#
# writes <output folder>/Kivra-<version>-setup.exe (and Kivra-<version>.zip,
# whose one top folder is Kivra\). Both hold the same files, laid out first in
# <stage folder>/Kivra/ (a temporary folder when none is given): the product
# folder without what is not the program's to ship:
#   - the user's data: log\, the database that common\config.xml names (and
#     the files SQLite keeps beside it), Config.ini (the start-up password);
#   - tools\: the demo's simulated modem and what it needs;
#   - import libraries (*.a, libKivra.a): they are for plugin authors, who
#     build against the source tree.
# The version is resources/Version.h's. Needs makensis (nsis) and zip.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"

make_zip=0
stage_root=""
while [ $# -gt 2 ]; do
  case "$1" in
    --zip) make_zip=1; shift ;;
    --stage) stage_root="$2"; shift 2 ;;
    *) break ;;
  esac
done
if [ $# -ne 2 ]; then
  echo "usage: $0 [--zip] [--stage <folder>] <product folder> <output folder>" >&2
  exit 64
fi
product="$(cd "$1" && pwd)"
mkdir -p "$2"
out="$(cd "$2" && pwd)"
if [ -z "$stage_root" ]; then
  stage_root="$(mktemp -d)"
  trap 'rm -rf "$stage_root"' EXIT
fi
mkdir -p "$stage_root"
stage_root="$(cd "$stage_root" && pwd)"

die() { echo "make-installer: $*" >&2; exit 1; }

version="$(bash "$top/installer/version.sh")"

# The database file: main-frame/db-file-name of the product's configuration
# (comments left out, white space trimmed, as the configuration reads it), or
# the name the configuration takes when the key is missing.
[ -f "$product/Kivra.exe" ] && [ -f "$product/common/config.xml" ] ||
  die "$product is not a product folder (no Kivra.exe or common/config.xml)"
database="$(perl -0777 -ne 's/<!--.*?-->//gs; print $1 if m{<db-file-name>\s*(.*?)\s*</db-file-name>}s' \
              "$product/common/config.xml")"
if [ -z "$database" ]; then
  database="$(sed -n 's/.*kInitialDatabaseFileName\[\] = L"\([^"]*\)".*/\1/p' "$top/config/Configure.cpp")"
fi
[ -n "$database" ] || die "cannot tell the database file's name"
database_path="${database//\\//}"

# The product folder, without what is not the program's.
stage="$stage_root/Kivra"
rm -rf "$stage"
mkdir -p "$stage"
cp -R "$product/." "$stage/"
rm -rf "$stage/log" "$stage/tools"
for name in "$database_path" "$database_path-journal" "$database_path-wal" "$database_path-shm" Config.ini; do
  # Windows names are case-blind: config.ini is Config.ini there.
  find "$stage" -ipath "$stage/$name" -type f -delete
done
find "$stage" -name '*.a' -type f -delete

# The file lists: one File per file, folder by folder, for the installer; one
# Delete per file and one RMDir per folder, deepest first, for the
# uninstaller. Names are written as NSIS strings ($ doubled).
if find "$stage" -name '*"*' | grep -q .; then die "a file name holds a double quote"; fi
nsis_text() { local text="${1//\$/\$\$}"; printf '%s' "${text//\//\\}"; }
lists="$stage_root/nsis"
mkdir -p "$lists"
: > "$lists/install-files.nsh"
: > "$lists/uninstall-files.nsh"
while IFS= read -r -d '' folder; do
  relative="${folder#"$stage"}"
  printf 'SetOutPath "$INSTDIR%s"\n' "$(nsis_text "$relative")" >> "$lists/install-files.nsh"
  while IFS= read -r -d '' file; do
    printf 'File "%s"\n' "${file//\$/\$\$}" >> "$lists/install-files.nsh"
    printf 'Delete "$INSTDIR%s"\n' "$(nsis_text "${file#"$stage"}")" >> "$lists/uninstall-files.nsh"
  done < <(find "$folder" -maxdepth 1 -type f -print0 | sort -z)
done < <(find "$stage" -type d -print0 | sort -z)
while IFS= read -r -d '' folder; do
  printf 'RMDir "$INSTDIR%s"\n' "$(nsis_text "${folder#"$stage"}")" >> "$lists/uninstall-files.nsh"
done < <(find "$stage" -mindepth 1 -type d -print0 | sort -rz)

setup="$out/Kivra-$version-setup.exe"
makensis -V2 -INPUTCHARSET UTF8 \
  "-DVERSION=$version" "-DSTAGE=$stage" "-DOUTFILE=$setup" "-DDATABASE=$(nsis_text "$database_path")" \
  "-DINSTALL_FILES=$lists/install-files.nsh" "-DUNINSTALL_FILES=$lists/uninstall-files.nsh" \
  "$top/installer/Kivra.nsi"
echo "$setup"

if [ "$make_zip" = 1 ]; then
  archive="$out/Kivra-$version.zip"
  rm -f "$archive"
  (cd "$stage_root" && zip -q -r -X "$archive" Kivra)
  echo "$archive"
fi
