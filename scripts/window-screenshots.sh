#!/usr/bin/env bash
# Builds Kivra, starts the demo product on a private Xvfb display and clicks
# through it the way a person would, saving a picture of each auxiliary
# window into docs/ (or the folder given):
#   settings.png  the settings dialog with the plugins' pages (Settings tool item)
#   about.png     the About box (Help > About Kivra)
#   notifier.png  the notification of Connect, slid in above the taskbar
#   messages.png  the main window on its Messages panel, once the demo
#                 modem's arriving message is there (Messages tool item)
#   dropzone.png  the drop zone with the download graph, under the mouse
#                 (File > Minimize to tray while connected). Xvfb has no
#                 compositor, so its translucency does not show there.
# The clicks are at the places the aurora skin gives its controls; after a
# change of the skin's layout, change them here too.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$top/docs}"
margin=16

source "$top/scripts/demo-session.sh"
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
# A plain desktop behind the windows, so the translucent ones show as such.
convert -size 1280x1024 gradient:'#3b6e9e'-'#1d3b5a' "$build/desktop.png"
display -window root "$build/desktop.png" || true  # answers 1 even when it set it

demo_start

wait_for() {  # wait_for <title>: the visible window of that title
  local w=""
  for _ in $(seq 100); do
    w="$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1 || true)"
    [ -n "$w" ] && { echo "$w"; return; }
    sleep 0.2
  done
  echo "No window \"$1\" appeared." >&2
  exit 1
}
main="$(wait_for "$title")"
sleep 2
eval "$(xdotool getwindowgeometry --shell "$main")"  # X, Y of the main window
main_x=$X main_y=$Y

click() {  # click <x> <y> in the main window; a short hover first, as a hand does
  xdotool mousemove $((main_x + $1 - 2)) $((main_y + $2))
  sleep 0.3
  xdotool mousemove $((main_x + $1)) $((main_y + $2))
  sleep 0.3
  xdotool click 1
  sleep "${3:-1}"
}
shoot() {  # shoot <file> <x> <y> <width> <height>: that part of the screen, with a margin
  local x=$(( $2 > margin ? $2 - margin : 0 )) y=$(( $3 > margin ? $3 - margin : 0 ))
  import -window root -crop "$(( $4 + 2 * margin ))x$(( $5 + 2 * margin ))+$x+$y" +repage "$out/$1"
  echo "Saved $out/$1"
}
shoot_window() {  # shoot_window <file> <title>
  local w
  w="$(wait_for "$2")"
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$w")"
  shoot "$1" "$X" "$Y" "$WIDTH" "$HEIGHT"
}
mkdir -p "$out"
rm -f "$out/settings.png" "$out/about.png" "$out/notifier.png" "$out/messages.png" "$out/dropzone.png"

# The settings dialog, its first item chosen.
click 280 63
click 105 77
shoot_window settings.png Settings
xdotool key Escape
sleep 0.5

# The About box.
click 105 31
click 189 111
shoot_window about.png "About Kivra"
xdotool key Return
sleep 0.5

kivra_windows() {  # "width height x y" of each top-level window of Kivra
  xwininfo -root -children | sed -n 's/.*"kivra.exe").* \([0-9]*\)x\([0-9]*\)+\(-*[0-9]*\)+\(-*[0-9]*\) .*/\1 \2 \3 \4/p'
}
read -r screen_w screen_h <<<"$(xdpyinfo | sed -n 's/.*dimensions: *\([0-9]*\)x\([0-9]*\) pixels.*/\1 \2/p')"

# Connect: it dials for a few seconds, then the notification slides in at the
# bottom right; taken once it is all in.
click 168 395 0
for _ in $(seq 300); do
  shown="$(kivra_windows | awk -v w="$screen_w" -v h="$screen_h" '$1 > 100 && $3 + $1 == w && $4 + $2 == h')"
  if [ -n "$shown" ]; then
    read -r nw nh nx ny <<<"$shown"
    shoot notifier.png "$nx" "$ny" "$nw" "$nh"
    break
  fi
  sleep 0.05
done
[ -f "$out/notifier.png" ] || { echo "The notifier did not come." >&2; exit 1; }

# Most of a graph of samples (one a second, one per pixel column), then the
# messages, then to the tray: the drop zone stands in for the window.
sleep 45

# The messages, the one that arrived (20 s after the start) on top and open
# in the reading pane; the mouse out of the way of the tooltips.
click 121 63
click 283 168
xdotool mousemove $((main_x - 8)) $((main_y + 300))
sleep 1
shoot_window messages.png "$title"

click 25 31
click 72 52
zone="$(kivra_windows | awk '$1 > 20 && $1 < 100 && $2 > 20 && $2 < 100 { print; exit }')"
[ -n "$zone" ] || { echo "The drop zone did not show." >&2; exit 1; }
read -r zw zh zx zy <<<"$zone"
xdotool mousemove $((zx + zw / 2 - 2)) $((zy + zh / 2))
sleep 0.3
xdotool mousemove $((zx + zw / 2)) $((zy + zh / 2))
sleep 2  # the tooltip comes below the mouse
shoot dropzone.png $((zx - 100)) "$zy" $((screen_w - zx + 100 - margin)) $((zh + 40))
