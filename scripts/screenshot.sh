#!/usr/bin/env bash
# Builds Kivra, starts the demo product on a private Xvfb display, waits for
# its main window and saves docs/screenshot.png: the window with a margin of
# desktop around it. Kivra is ended again afterwards.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$top/docs/screenshot.png}"
margin=24

source "$top/scripts/demo-session.sh"
demo_start

window=""
for _ in $(seq 150); do
  window="$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n1 || true)"
  [ -n "$window" ] && break
  sleep 0.2
done
if [ -z "$window" ]; then
  echo "Kivra's window \"$title\" did not appear." >&2
  exit 1
fi
sleep 2  # let it paint

eval "$(xdotool getwindowgeometry --shell "$window")"  # X, Y, WIDTH, HEIGHT
screen="$(xdpyinfo | sed -n 's/.*dimensions: *\([0-9]*\)x\([0-9]*\) pixels.*/\1 \2/p')"
read -r screen_w screen_h <<<"$screen"
left=$(( X > margin ? X - margin : 0 ))
top_edge=$(( Y > margin ? Y - margin : 0 ))
width=$(( WIDTH + 2 * margin ))
height=$(( HEIGHT + 2 * margin ))
(( left + width > screen_w )) && width=$(( screen_w - left ))
(( top_edge + height > screen_h )) && height=$(( screen_h - top_edge ))

mkdir -p "$(dirname "$out")"
import -window root -crop "${width}x${height}+${left}+${top_edge}" +repage "$out"
echo "Saved $out (${width}x${height} around \"$title\")."
