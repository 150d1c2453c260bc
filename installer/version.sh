#!/usr/bin/env bash
# Prints the program's version as the packages name it (5.0.1.2), from the
# four KIVRA_VERSION_* numbers of resources/Version.h.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
part() { sed -n "s/^#define KIVRA_VERSION_$1 \\([0-9][0-9]*\\)\$/\\1/p" "$top/resources/Version.h"; }
version="$(part MAJOR).$(part MINOR).$(part BUILD).$(part PATCH)"
if ! [[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]]; then
  echo "no version in resources/Version.h" >&2
  exit 1
fi
echo "$version"
