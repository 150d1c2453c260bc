#!/usr/bin/env bash
# Regenerates every picture of the demo product (product/common and the
# "aurora" skin) with ImageMagick. The outputs are committed, so building
# Kivra never needs this script; run it after changing the artwork:
#
#     bash scripts/make-product-images.sh
#
# Needs ImageMagick 6 ("convert") and the DejaVu fonts (Debian: imagemagick,
# fonts-dejavu-core). Every step draws from fixed shapes and gradients, with
# no random input, so two runs give the same files byte for byte.
#
# Picture rules the shell relies on:
# - BMP files are plain 24-bit BMP3 (BMP3: prefix, TrueColor, no alpha), the
#   one flavour every Windows picture loader reads.
# - Shaped pictures (window backgrounds, notifier) use pure magenta
#   255,0,255 outside the shape, drawn without antialiasing at the edge so no
#   pinkish fringe pixels survive: the shell cuts the window region by that
#   exact colour. JPEG is lossy and is never used for them.
# - Masked icon strips keep their mask colour only where the icon is empty;
#   antialiased icon edges are blended with the face colour they will sit on.
#   Tool-area strips use 192,192,192 (the tool bar's image-list mask), the
#   skin-button and menu strips use magenta (their skin mask-color).
set -euo pipefail

top="$(cd "$(dirname "$0")/.." && pwd)"
art="$top/scripts/product-art"
common="$top/product/common"
skin="$top/product/skin/aurora"
mkdir -p "$common" "$skin"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The palette of the aurora skin.
ink='#1f3a56'          # text and dark glyphs
glyph='#34577a'        # glyphs on light faces
line='#c3d4e4'         # hairlines between areas
outline='#4a6a8c'      # the window's outer edge
panel='#edf2f7'        # panel area around the plugin card
footer='#e3ebf4'       # action strip behind the skin buttons
status='#d3dee9'       # strip behind the status bar
teal='#13a6a4'
green='#33c48d'
blue='#2f7fd1'
violet='#7b5fd0'
amber='#f0a23c'
red='#dc4f45'
magenta='#ff00ff'
toolmask='#c0c0c0'

# Window layout in background pixels (kept in step with skin.xml).
title_h=19             # light title band; the shell draws the caption on it
menu_top=19            # the menu band (the shell's band of menu-bar entries)
tool_top=35            # tool area band: where the tool bar sits under the menu band
tool_h=56              # the tool bar's height (its button height)
card_left=12           # the plugin panel card = skin panel-rect
card_top=96
footer_from_bottom=68  # action strip: H-68 .. H-26
status_from_bottom=26

font="DejaVu-Sans"
font_bold="DejaVu-Sans-Bold"

bmp3() {  # picture -> plain 24-bit BMP
  convert "$1" -alpha off -depth 8 -type TrueColor "BMP3:$2"
}

# --- shared pieces ---------------------------------------------------------

# The title band: a light vertical gradient, 19 rows; row 18 is its hairline.
# The shell draws the title-bar pieces at window row 4 = background row 1, so
# the title strips below are cut from rows 1..18 of this very band.
title_band() {  # width out
  convert -size "$1x18" gradient:'#fbfdff-#d9e7f4' \
    \( -size "$1x1" xc:'#b7cbe0' \) -append "$2"
}

# The tool band: 64 rows of a soft gradient with a hairline at the bottom.
tool_band_plain() {  # width out
  convert -size "$1x63" gradient:'#f3f8fc-#dbe7f2' \
    \( -size "$1x1" xc:"$line" \) -append "$2"
}

# The brand mark: a rounded tile in the teal-to-blue gradient with four
# rising signal bars, drawn on a 256 px grid whose bars fall on 16 px steps
# so that it stays crisp at 16 and 32 pixels.
brand_mark() {  # size out
  convert -size 256x256 xc:none -fill white -draw "roundrectangle 8,8,247,247,56,56" "$work/mark-shape.png"
  convert -size 400x400 gradient:"#1cc3a0-#2a63cc" -rotate -20 -gravity center -crop 256x256+0+0 +repage \
    "$work/mark-shape.png" -compose copyopacity -composite "$work/mark-tile.png"
  convert "$work/mark-tile.png" -fill white \
    -draw "roundrectangle 32,160,63,207,6,6" \
    -draw "roundrectangle 80,128,111,207,6,6" \
    -draw "roundrectangle 128,96,159,207,6,6" \
    -draw "roundrectangle 176,48,207,207,6,6" \
    "$work/mark-256.png"
  convert "$work/mark-256.png" -filter Box -resize "$1x$1" "$2"
}

# A wordmark "Kivra" with the mark beside it, on a transparent canvas.
wordmark() {  # height-of-mark pointsize colour out
  brand_mark "$1" "$work/wm-mark.png"
  convert -background none -fill "$3" -font "$font_bold" -pointsize "$2" label:'Kivra' "$work/wm-text.png"
  convert -background none "$work/wm-mark.png" \( -size 6x1 xc:none \) "$work/wm-text.png" \
    -gravity center +append "$4"
}

# The aurora ribbons: soft translucent curves in teal, green and violet.
ribbons() {  # width height out
  local w=$1 h=$2
  convert -size "${w}x${h}" xc:none -fill none -strokewidth 3 \
    -stroke 'rgba(51,196,141,0.55)' -draw "path 'M 0,$((h*70/100)) C $((w/3)),$((h*20/100)) $((w*2/3)),$((h*95/100)) $w,$((h*35/100))'" \
    -stroke 'rgba(19,166,164,0.45)' -draw "path 'M 0,$((h*85/100)) C $((w/3)),$((h*40/100)) $((w*2/3)),$((h*100/100)) $w,$((h*55/100))'" \
    -stroke 'rgba(123,95,208,0.35)' -draw "path 'M 0,$((h*55/100)) C $((w/4)),$((h*10/100)) $((w*3/4)),$((h*80/100)) $w,$((h*15/100))'" \
    -blur 0x1.2 "$3"
}

# --- title bar ---------------------------------------------------------------

title_band 64 "$work/title-64.png"
convert "$work/title-64.png" -crop 64x18+0+1 +repage "$work/title-strip.png"
bmp3 "$work/title-strip.png" "$skin/title_bar.bmp"

# The left piece: the same strip with a faint teal glow behind the caption.
title_band 200 "$work/title-200.png"
convert -size 18x200 gradient:'rgba(19,166,164,0.20)-rgba(19,166,164,0)' -rotate -90 "$work/glow.png"
convert "$work/title-200.png" -crop 200x18+0+1 +repage "$work/glow.png" -composite "$work/title-glow.png"
bmp3 "$work/title-glow.png" "$skin/title_glow.bmp"

# Title buttons, 16 x 16 (SM_CXSMICON): the band's rows 1..16 behind a glyph;
# the hover face adds a rounded plate. Drawn at 4x and reduced.
convert "$work/title-64.png" -crop 16x16+0+1 +repage -scale 400% "$work/tb-face.png"
title_button() {  # glyph-draw plate-colour glyph-colour out
  local plate=""
  [ "$2" != none ] && plate="roundrectangle 2,2,61,61,12,12"
  convert "$work/tb-face.png" -fill "$2" -stroke none ${plate:+-draw "$plate"} \
    -fill none -stroke "$3" -strokewidth 6 -draw "$1" -filter Box -resize 16x16 "$work/tb.png"
  bmp3 "$work/tb.png" "$4"
}
min_glyph="line 18,44 46,44"
max_glyph="rectangle 18,18 46,46"
close_glyph="line 19,19 45,45 line 45,19 19,45"
title_button "$min_glyph" none "$glyph" "$skin/title_min.bmp"
title_button "$min_glyph" '#c9def2' "$ink" "$skin/title_min_hover.bmp"
title_button "$max_glyph" none "$glyph" "$skin/title_max.bmp"
title_button "$max_glyph" '#c9def2' "$ink" "$skin/title_max_hover.bmp"
title_button "$close_glyph" none "$glyph" "$skin/title_close.bmp"
title_button "$close_glyph" "$red" white "$skin/title_close_hover.bmp"

# --- tool area -----------------------------------------------------------------

# Background tile (the tool bar paints it as a pattern brush from its origin).
tool_band_plain 16 "$work/tool-tile.png"
bmp3 "$work/tool-tile.png" "$skin/tool_bg.bmp"

# Logo at the tool bar's right end: ribbons and the wordmark on the band,
# 160 x 64, a width that divides the window width so the pattern lines up.
tool_band_plain 160 "$work/logo-band.png"
ribbons 160 63 "$work/logo-ribbons-full.png"
# The ribbons fade in from the logo's left edge so the band has no seam.
convert -size 63x160 gradient:white-black -rotate -90 -level 0,45% "$work/logo-fade.png"
convert "$work/logo-ribbons-full.png" \( +clone -alpha extract "$work/logo-fade.png" -compose multiply -composite \) \
  -alpha off -compose copyopacity -composite "$work/logo-ribbons.png"
wordmark 26 22 "$ink" "$work/logo-word.png"
convert "$work/logo-band.png" "$work/logo-ribbons.png" -composite \
  "$work/logo-word.png" -gravity center -geometry +4-3 -composite "$work/tool-logo.png"
bmp3 "$work/tool-logo.png" "$skin/tool_logo.bmp"

# Tool icons: 32 x 32 badges with white glyphs, drawn at 128 px.
badge() {  # top-colour bottom-colour glyph-draw-args... -> out (last arg)
  local topc=$1 botc=$2; shift 2
  local out="${!#}"
  local args=("${@:1:$#-1}")
  convert -size 128x128 xc:none -fill white -draw "circle 64,64 64,6" "$work/badge-shape.png"
  convert -size 128x128 gradient:"$topc-$botc" "$work/badge-shape.png" -compose copyopacity -composite \
    -fill none -stroke 'rgba(0,0,0,0.18)' -strokewidth 3 -draw "circle 64,64 64,7" \
    "${args[@]}" "$out"
}
mask_icon() {  # in(alpha) face-colour mask-colour out
  convert "$1" -background "$2" -flatten -alpha off "$work/mi-face.png"
  convert "$1" -alpha extract -threshold 20% "$work/mi-alpha.png"
  convert "$work/mi-face.png" -fill "$3" -colorize 100 "$work/mi-mask.png"
  convert "$work/mi-mask.png" "$work/mi-face.png" "$work/mi-alpha.png" -composite -alpha off "$4"
}
gear_teeth=""
for a in 0 45 90 135 180 225 270 315; do
  gear_teeth+="push graphic-context translate 64,64 rotate $a roundrectangle -9,-44 9,-24 3,3 pop graphic-context "
done
badge '#27c2bf' "$teal" -fill white -stroke none \
  -draw "roundrectangle 33,76 45,94 3,3 roundrectangle 51,62 63,94 3,3 roundrectangle 69,48 81,94 3,3 roundrectangle 87,34 99,94 3,3" \
  "$work/ti-connect.png"
badge '#4f9be6' "$blue" -fill white -stroke none -draw "roundrectangle 28,40 100,90 7,7" \
  -fill none -stroke "$blue" -strokewidth 7 -draw "polyline 31,44 64,70 97,44" "$work/ti-sms.png"
badge '#9a84e0' "$violet" -fill none -stroke white -strokewidth 9 -draw "polyline 28,86 50,62 68,74 98,40" \
  -fill white -stroke none -draw "circle 98,40 98,32" "$work/ti-stats.png"
badge '#7f98b3' '#4f6a86' -fill white -stroke none -draw "$gear_teeth" -draw "circle 64,64 64,32" \
  -fill '#5d7894' -draw "circle 64,64 64,51" "$work/ti-settings.png"
badge '#49d3a0' "$green" -fill white -stroke none -font "$font_bold" -pointsize 78 -gravity center \
  -annotate +1+3 '?' "$work/ti-help.png"
for i in connect sms stats settings help; do
  convert "$work/ti-$i.png" -filter Box -resize 32x32 "$work/ti-$i-32.png"
  # The tool band behind the icons is about #e6eff7 at the icon's rows.
  mask_icon "$work/ti-$i-32.png" '#e6eff7' "$toolmask" "$work/ti-$i-m.png"
done
convert "$work"/ti-{connect,sms,stats,settings,help}-m.png +append "$work/tool-icons.png"
bmp3 "$work/tool-icons.png" "$skin/tool_icons.bmp"

# --- skin buttons ----------------------------------------------------------------

# Shared faces, 88 x 30: a rounded plate on the footer colour.
button_face() {  # top bottom border w h out
  convert -size "$4x$5" xc:"$footer" "$work/bf-base.png"
  convert -size "$4x$5" gradient:"$1-$2" "$work/bf-grad.png"
  convert -size "$4x$5" xc:black -fill white -draw "roundrectangle 0,0 $(($4-1)),$(($5-1)) 7,7" "$work/bf-mask.png"
  convert "$work/bf-base.png" "$work/bf-grad.png" "$work/bf-mask.png" -composite \
    -fill none -stroke "$3" -strokewidth 1 -draw "roundrectangle 0.5,0.5 $(($4-1)).5,$(($5-1)).5 7,7" \
    -alpha off "$6"
}
button_face '#fbfdff' '#e2ebf4' '#b4c8dc' 88 30 "$work/btn-normal.png"
button_face '#ffffff' '#d3ecf3' '#4aa8c9' 88 30 "$work/btn-hover.png"
bmp3 "$work/btn-normal.png" "$skin/btn_normal.bmp"
bmp3 "$work/btn-hover.png" "$skin/btn_hover.bmp"

# Shared icon strip, 20 x 20 tiles on magenta: menu, expand, tray, exit,
# new message, reset. Drawn at 80 px.
icon80() {  # out draw-args...
  local out=$1; shift
  convert -size 80x80 xc:none -fill none -stroke "$glyph" -strokewidth 8 -draw "stroke-linecap round" "$@" \
    -filter Box -resize 20x20 "$out"
}
icon80 "$work/bi-0.png" -draw "line 16,22 64,22" -draw "line 16,40 64,40" -draw "line 16,58 64,58"
icon80 "$work/bi-1.png" -draw "polyline 44,14 66,14 66,36" -draw "line 66,14 46,34" \
  -draw "polyline 36,66 14,66 14,44" -draw "line 14,66 34,46"
icon80 "$work/bi-2.png" -draw "line 40,10 40,46" -draw "polyline 24,32 40,48 56,32" \
  -draw "polyline 12,50 12,68 68,68 68,50"
convert -size 80x80 xc:none -fill none -stroke "$red" -strokewidth 8 \
  -draw "stroke-linecap round" -draw "arc 14,16 66,68 300,600" -draw "line 40,8 40,38" -filter Box -resize 20x20 "$work/bi-3.png"
icon80 "$work/bi-4.png" -strokewidth 7 -draw "roundrectangle 8,22 60,62 6,6" -draw "polyline 10,25 34,44 58,25" \
  -stroke "$teal" -strokewidth 8 -draw "line 64,8 64,34" -draw "line 51,21 77,21"
icon80 "$work/bi-5.png" -draw "arc 12,12 68,68 300,600" \
  -fill "$glyph" -stroke none -draw "polygon 39,7 32,26 20,6"
for i in 0 1 2 3 4 5; do
  mask_icon "$work/bi-$i.png" '#eef3f9' "$magenta" "$work/bi-$i-m.png"
done
convert "$work"/bi-{0,1,2,3,4,5}-m.png +append "$work/btn-icons.png"
bmp3 "$work/btn-icons.png" "$skin/btn_icons.bmp"

# The connect button's own faces, 120 x 30 (the button draws "Connect" on
# them in white): normal, hover, pressed, disabled and focused.
button_face '#45d49b' '#1fa877' '#168a61' 120 30 "$work/bc-normal.png"
button_face '#5fe0ac' '#27b884' '#168a61' 120 30 "$work/bc-hover.png"
button_face '#1c9e70' '#2bbf88' '#126f4f' 120 30 "$work/bc-down.png"
button_face '#c3ccd6' '#a9b5c2' '#95a2b0' 120 30 "$work/bc-disable.png"
convert "$work/bc-normal.png" -fill none -stroke 'rgba(255,255,255,0.85)' -strokewidth 1 \
  -draw "roundrectangle 2.5,2.5 116.5,26.5 5,5" -alpha off "$work/bc-focus.png"
for s in normal hover down disable focus; do
  n="btn_connect_$s"; [ $s = normal ] && n=btn_connect
  bmp3 "$work/bc-$s.png" "$skin/$n.bmp"
done

# --- menus -------------------------------------------------------------------------

# Owner-drawn menu rows, 180 x 24: an icon gutter on the left, a light row;
# the selected row is a soft teal plate.
convert -size 180x24 xc:'#fbfcfe' -fill '#eaf1f7' -draw "rectangle 0,0 29,23" \
  -fill '#dbe6f0' -draw "line 30,0 30,23" "$work/menu-item.png"
convert -size 180x24 xc:'#fbfcfe' -fill '#eaf1f7' -draw "rectangle 0,0 29,23" \
  \( -size 176x20 gradient:'#e3f6f4-#c5ebe7' \) -geometry +2+2 -composite \
  -fill none -stroke '#7cc9c3' -draw "roundrectangle 2.5,2.5 177.5,21.5 4,4" -alpha off "$work/menu-hover.png"
bmp3 "$work/menu-item.png" "$skin/menu_item.bmp"
bmp3 "$work/menu-hover.png" "$skin/menu_item_hover.bmp"

# Menu icons, 16 x 16 on magenta: user guide, updates, about. Drawn at 64.
convert -size 64x64 xc:none -fill '#e8f2fb' -stroke "$blue" -strokewidth 5 \
  -draw "roundrectangle 10,8 54,56 5,5" -draw "line 32,10 32,54" -filter Box -resize 16x16 "$work/mn-0.png"
convert -size 64x64 xc:none -fill none -stroke "$teal" -strokewidth 7 \
  -draw "arc 10,10 54,54 300,600" -fill "$teal" -stroke none \
  -draw "polygon 32,4 26,21 14,4" -filter Box -resize 16x16 "$work/mn-1.png"
convert -size 64x64 xc:none -fill "$blue" -draw "circle 32,32 32,4" -fill white \
  -draw "circle 32,18 32,13 roundrectangle 28,27 36,50 2,2" -filter Box -resize 16x16 "$work/mn-2.png"
for i in 0 1 2; do mask_icon "$work/mn-$i.png" '#eaf1f7' "$magenta" "$work/mn-$i-m.png"; done
convert "$work"/mn-{0,1,2}-m.png +append "$work/menu-icons.png"
bmp3 "$work/menu-icons.png" "$skin/menu_icons.bmp"

# The check mark for the standard menus (GIF), 13 x 13 on the menu colour.
convert -size 52x52 xc:'#f0f0f0' -fill none -stroke "$teal" -strokewidth 8 \
  -draw "stroke-linecap round" -draw "stroke-linejoin round" -draw "polyline 10,27 21,38 42,14" -filter Box -resize 13x13 \
  -colors 32 "$skin/menu_checked.gif"


# --- window backgrounds ----------------------------------------------------------

# The window shape: a rounded rectangle, corner radius 8 at the top (the
# drawn title bar and its buttons sit close to the top corners) and 14 at the
# bottom. Binary, no antialiasing: the shell keeps exactly the non-magenta
# pixels.
window_mask() {  # w h out
  local w=$1 h=$2 half=$(($2 / 2))
  convert -size "${w}x${h}" xc:black +antialias -fill white -draw "roundrectangle 0,0 $((w-1)),$((h-1)) 8,8" \
    -crop "${w}x${half}+0+0" +repage "$work/wm-top.png"
  convert -size "${w}x${h}" xc:black +antialias -fill white -draw "roundrectangle 0,0 $((w-1)),$((h-1)) 14,14" \
    -crop "${w}x$((h-half))+0+${half}" +repage "$work/wm-bottom.png"
  convert "$work/wm-top.png" "$work/wm-bottom.png" -append -threshold 50% "$3"
}

# Cuts a picture to a binary mask: magenta outside, a 1 px outline inside.
apply_shape() {  # picture mask outline-colour out
  convert "$2" -bordercolor black -border 1 -morphology EdgeIn Square:1 -shave 1x1 "$work/as-edge.png"
  convert "$1" \( -clone 0 -fill "$3" -colorize 100 \) "$work/as-edge.png" -composite "$work/as-lined.png"
  convert "$1" -fill "$magenta" -colorize 100 "$work/as-lined.png" "$2" -composite -alpha off "$4"
}

# One window background of w x h: title band, tool band with the logo, the
# panel area with the plugin card (skin panel-rect), the action strip for the
# skin buttons and the strip behind the status bar.
window_body() {  # w h out
  local w=$1 h=$2
  local card_right=$((w - card_left - 1)) card_bottom=$((h - 72 - 1))
  local foot=$((h - footer_from_bottom)) stat=$((h - status_from_bottom))
  title_band "$w" "$work/wb-title.png"
  # The band carries the tool bar's own tile but not its logo: the tool bar
  # paints that itself, wherever the shell places the bar.
  convert -size "${w}x${tool_h}" tile:"$work/tool-tile.png" "$work/wb-tool.png"
  convert -size "${w}x${h}" xc:"$panel" \
    "$work/wb-title.png" -geometry +0+0 -composite \
    "$work/title-glow.png" -geometry -1+1 -composite \
    -fill '#f3f8fc' -draw "rectangle 0,$menu_top $((w-1)),$((tool_top-1))" \
    "$work/wb-tool.png" -geometry +0+${tool_top} -composite \
    \( -size "${w}x6" gradient:'rgba(31,58,86,0.16)-rgba(31,58,86,0)' \) -geometry +0+$((tool_top + tool_h)) -composite \
    \( -size "${w}x${h}" xc:none -fill 'rgba(25,50,80,0.30)' \
       -draw "rectangle $card_left,$((card_top + 2)) $card_right,$((card_bottom + 3))" -blur 0x3 \) -composite \
    -fill white -stroke "$line" -draw "rectangle $card_left,$card_top $card_right,$card_bottom" \
    -stroke none -fill "$footer" -draw "rectangle 0,$foot $((w-1)),$((stat-1))" \
    -fill "$line" -draw "line 0,$foot $((w-1)),$foot" \
    -fill 'rgba(255,255,255,0.7)' -draw "line 0,$((foot+1)) $((w-1)),$((foot+1))" \
    -fill "$status" -draw "rectangle 0,$stat $((w-1)),$((h-1))" \
    -fill '#b9c9d9' -draw "line 0,$stat $((w-1)),$stat" \
    -alpha off "$3"
}

window_body 640 440 "$work/bg-body.png"
window_mask 640 440 "$work/bg-mask.png"
apply_shape "$work/bg-body.png" "$work/bg-mask.png" "$outline" "$work/background.png"
bmp3 "$work/background.png" "$skin/background.bmp"

window_body 960 640 "$work/max-body.png"
window_mask 960 640 "$work/max-mask.png"
apply_shape "$work/max-body.png" "$work/max-mask.png" "$outline" "$work/max-background.png"
bmp3 "$work/max-background.png" "$skin/max_background.bmp"

# --- plugin panels (616 x 272, the panel-rect of the normal window) -----------------

pw=616; ph=272
convert "$work/bg-body.png" -crop "${pw}x${ph}+${card_left}+${card_top}" +repage "$work/card.png"

# A rounded tile with a hairline, used for the info boxes of the panels.
tile_box() {  # x0 y0 x1 y1 fill stroke
  echo "-fill $5 -stroke $6 -strokewidth 1 -draw \"roundrectangle $1.5,$2.5 $3.5,$4.5 6,6\""
}

# The night-sky hero block of the connection panel: a deep gradient, the
# aurora ribbons and a large faint signal mark.
convert -size 276x240 gradient:'#173a5e-#1c6278' "$work/hero-grad.png"
ribbons 276 240 "$work/hero-ribbons.png"
convert -size 276x240 xc:black -fill white -draw "roundrectangle 0,0 275,239 10,10" "$work/hero-mask.png"
convert "$work/hero-grad.png" "$work/hero-ribbons.png" -composite \
  \( "$work/hero-ribbons.png" -flop -alpha on -channel A -evaluate multiply 0.6 +channel \) -geometry +0+30 -composite \
  -fill 'rgba(255,255,255,0.10)' -stroke none \
  -draw "roundrectangle 150,150 172,222 4,4 roundrectangle 182,120 204,222 4,4 roundrectangle 214,90 236,222 4,4 roundrectangle 246,60 258,222 4,4" \
  "$work/hero.png"
convert "$work/card.png" \( "$work/hero.png" "$work/hero-mask.png" -alpha off -compose copyopacity -composite \) \
  -geometry +16+16 -compose over -composite "$work/pc-1.png"
# Four info tiles (duration, received, sent, speed), each with a coloured
# glyph on its left; the plugin writes the values beside the glyphs.
info_tiles=""
i=0
for box in "308,16,456,124" "468,16,600,124" "308,136,456,256" "468,136,600,256"; do
  IFS=, read -r x0 y0 x1 y1 <<<"$box"
  info_tiles+="roundrectangle $x0,$y0 $x1,$y1 6,6 "
  i=$((i + 1))
done
convert "$work/pc-1.png" -fill '#f4f8fb' -stroke '#d5e1ec' -draw "$info_tiles" \
  -stroke none -fill "$teal" -draw "circle 334,42 334,30" \
  -fill "$blue" -draw "circle 494,42 494,30" \
  -fill "$violet" -draw "circle 334,162 334,150" \
  -fill "$amber" -draw "circle 494,162 494,150" \
  -fill none -stroke white -strokewidth 2.5 \
  -draw "line 334,35 334,42 line 334,42 339,45" \
  -draw "line 494,35 494,48 polyline 489,43 494,48 499,43" \
  -draw "line 334,168 334,155 polyline 329,160 334,155 339,160" \
  -draw "polyline 488,166 494,156 500,166" \
  "$work/panel-connect.png"
bmp3 "$work/panel-connect.png" "$skin/panel_connect.bmp"

# Signal meter strip for the connection panel: 0 to 5 bars, 40 x 24 tiles,
# magenta where the hero block shows through.
for n in 0 1 2 3 4 5; do
  draw=()
  for b in 1 2 3 4 5; do
    x0=$(( (b - 1) * 32 + 4 )); x1=$((x0 + 20)); y0=$((92 - b * 16))
    if [ "$b" -le "$n" ]; then col=white; else col='rgba(255,255,255,0.28)'; fi
    draw+=(-fill "$col" -draw "roundrectangle $x0,$y0 $x1,92 4,4")
  done
  convert -size 160x96 xc:none "${draw[@]}" -filter Box -resize 40x24 "$work/sig-$n.png"
  mask_icon "$work/sig-$n.png" '#19466a' "$magenta" "$work/sig-$n-m.png"
done
convert "$work"/sig-{0,1,2,3,4,5}-m.png +append "$work/signal-bars.png"
bmp3 "$work/signal-bars.png" "$skin/signal_bars.bmp"

# Messages panel: a folder column, a message list with a header and striped
# rows, and a reading pane.
rows=""
for y in 64 100 136; do rows+="rectangle 183,$y 599,$((y + 17)) "; done
convert "$work/card.png" \
  -fill '#f1f6fa' -stroke '#d5e1ec' -draw "roundrectangle 16,16 168,256 6,6" \
  -fill '#e3f1fb' -stroke none -draw "roundrectangle 22,24 162,50 5,5" \
  -fill "$blue" -draw "roundrectangle 22,24 25,50 1,1" \
  -fill white -stroke '#d5e1ec' -draw "roundrectangle 180,16 600,170 6,6" \
  -fill '#e9f1f8' -stroke none -draw "rectangle 181,17 599,44" -fill '#d5e1ec' -draw "line 181,45 599,45" \
  -fill '#f6f9fc' -draw "$rows" \
  -fill '#fbfcfe' -stroke '#d5e1ec' -draw "roundrectangle 180,180 600,222 6,6" \
  "$work/panel-sms.png"
bmp3 "$work/panel-sms.png" "$skin/panel_sms.bmp"

# Statistics panel: a chart area with a grid and three figure tiles.
grid=""
for y in 56 96 136 176 216; do grid+="line 28,$y 412,$y "; done
convert "$work/card.png" \
  -fill white -stroke '#d5e1ec' -draw "roundrectangle 16,16 424,256 6,6" \
  -stroke '#e6edf4' -draw "$grid" -stroke '#b9c9d9' -draw "line 28,240 412,240 line 28,28 28,240" \
  -stroke '#d5e1ec' -fill '#f4f8fb' \
  -draw "roundrectangle 436,16 600,88 6,6 roundrectangle 436,100 600,172 6,6 roundrectangle 436,184 600,256 6,6" \
  -stroke none -fill "$teal" -draw "roundrectangle 437,24 440,80 1,1" \
  -fill "$blue" -draw "roundrectangle 437,108 440,164 1,1" \
  -fill "$violet" -draw "roundrectangle 437,192 440,248 1,1" \
  "$work/panel-stats.png"
bmp3 "$work/panel-stats.png" "$skin/panel_statistics.bmp"

# Small 24 x 24 command glyphs for the plugins' own buttons, on magenta:
# messages (new, reply, delete, forward) and statistics (reset, export).
glyph96() {  # out draw-args...
  local out=$1; shift
  convert -size 96x96 xc:none -fill none -stroke "$glyph" -strokewidth 8 -draw "stroke-linecap round" \
    -draw "stroke-linejoin round" "$@" -filter Box -resize 24x24 "$out"
}
glyph96 "$work/g-new.png" -draw "roundrectangle 10,26 70,76 6,6" -draw "polyline 12,30 40,52 68,30" \
  -stroke "$teal" -draw "line 78,10 78,40" -draw "line 63,25 93,25"
glyph96 "$work/g-reply.png" -draw "polyline 40,22 14,46 40,70" -draw "path 'M 16,46 C 50,46 80,50 84,80'"
glyph96 "$work/g-delete.png" -stroke "$red" -draw "line 18,24 78,24" -draw "polyline 26,24 30,84 66,84 70,24" \
  -draw "line 38,12 58,12" -draw "line 42,40 42,70" -draw "line 54,40 54,70"
glyph96 "$work/g-forward.png" -draw "polyline 56,22 82,46 56,70" -draw "path 'M 80,46 C 46,46 16,50 12,80'"
glyph96 "$work/g-reset.png" -draw "arc 16,16 80,80 300,600" -fill "$glyph" -stroke none -draw "polygon 46,8 38,30 24,8"
glyph96 "$work/g-export.png" -draw "polyline 30,40 14,40 14,84 82,84 82,40 66,40" -draw "line 48,12 48,58" \
  -draw "polyline 34,26 48,12 62,26"
for g in new reply delete forward reset export; do
  mask_icon "$work/g-$g.png" '#f1f6fa' "$magenta" "$work/g-$g-m.png"
done
convert "$work"/g-{new,reply,delete,forward}-m.png +append "$work/sms-buttons.png"
convert "$work"/g-{reset,export}-m.png +append "$work/stats-buttons.png"
bmp3 "$work/sms-buttons.png" "$skin/sms_buttons.bmp"
bmp3 "$work/stats-buttons.png" "$skin/stats_buttons.bmp"

# --- notifier (252 x 120, shaped like the window) -------------------------------------

nw=252; nh=120
wordmark 18 15 white "$work/nt-word.png"
ribbons "$nw" 60 "$work/nt-ribbons.png"
convert -size "${nw}x32" gradient:"#1a9fa3-#2a6fc9" -rotate 0 "$work/nt-head.png"
convert -size "${nw}x${nh}" gradient:'#ffffff-#eef4f9' \
  "$work/nt-head.png" -geometry +0+0 -composite \
  \( "$work/nt-ribbons.png" -alpha on -channel A -evaluate multiply 0.5 +channel \) -geometry +0+60 -composite \
  "$work/nt-word.png" -gravity northwest -geometry +10+6 -composite \
  -fill 'rgba(255,255,255,0.35)' -draw "line 0,32 $((nw-1)),32" -alpha off "$work/nt-body.png"
convert -size "${nw}x${nh}" xc:black +antialias -fill white -draw "roundrectangle 0,0 $((nw-1)),$((nh-1)) 10,10" \
  -threshold 50% "$work/nt-mask.png"
apply_shape "$work/nt-body.png" "$work/nt-mask.png" '#2c6a8f' "$work/notifier.png"
bmp3 "$work/notifier.png" "$skin/notifier.bmp"

# --- drop zone (floating window) ---------------------------------------------------------

# The skin's picture for the floating window (scaled by the shell to the
# window), and the product's fallback picture common\main.bmp, 120 x 40.
night_tile() {  # w h mark out
  local w=$1 h=$2
  ribbons "$w" "$h" "$work/nt-r.png"
  brand_mark "$3" "$work/nt-m.png"
  convert -size "${w}x${h}" gradient:'#173a5e-#1c6278' "$work/nt-r.png" -composite \
    -fill none -stroke 'rgba(255,255,255,0.25)' -draw "rectangle 0,0 $((w-1)),$((h-1))" "$work/nt-tile.png"
}
night_tile 60 54 30 "$work/dz.png"
convert "$work/nt-tile.png" "$work/nt-m.png" -gravity center -composite -alpha off "$work/dropzone.png"
bmp3 "$work/dropzone.png" "$skin/dropzone.bmp"

night_tile 120 40 24 "$work/mb.png"
wordmark 24 18 white "$work/mb-word.png"
convert "$work/nt-tile.png" "$work/mb-word.png" -gravity center -composite -alpha off "$work/main-bmp.png"
bmp3 "$work/main-bmp.png" "$common/main.bmp"

# --- wait dialog background (common\wait.JPG) ------------------------------------------

brand_mark 16 "$work/wt-mark.png"
ribbons 340 60 "$work/wt-ribbons.png"
convert -size 340x60 gradient:'#f8fbfe-#e2edf6' \
  \( "$work/wt-ribbons.png" -alpha on -channel A -evaluate multiply 0.35 +channel \) -composite \
  "$work/wt-mark.png" -gravity northwest -geometry +8+6 -composite -alpha off \
  -sampling-factor 1x1 -quality 92 "JPEG:$common/wait.JPG"

# --- icons -----------------------------------------------------------------------------------

# The product icon, 32 and 16 px, straight from the 256 px grid. The 32 px
# image comes first: the shell loads the logo at the file's first size and
# uses it as the big window icon.
brand_mark 32 "$work/icon-32.png"
brand_mark 16 "$work/icon-16.png"
convert "$work/icon-32.png" "$work/icon-16.png" "$common/main.ico"

# Settings tree icons, 16 px: a quiet page for a node, a teal one with a
# chevron for the selected node.
convert -size 64x64 xc:none -fill '#f3f7fb' -stroke '#8aa2ba' -strokewidth 5 -draw "roundrectangle 12,6 52,58 6,6" \
  -stroke '#b3c4d5' -strokewidth 4 -draw "line 22,24 42,24" -draw "line 22,34 42,34" -draw "line 22,44 36,44" \
  -filter Box -resize 16x16 "$work/ico-normal.png"
convert -size 64x64 xc:none -fill "$teal" -stroke '#0d7f7d' -strokewidth 4 -draw "roundrectangle 8,6 56,58 8,8" \
  -fill none -stroke white -strokewidth 7 -draw "stroke-linecap round" -draw "stroke-linejoin round" \
  -draw "polyline 26,18 40,32 26,46" -filter Box -resize 16x16 "$work/ico-select.png"
convert "$work/ico-normal.png" "$common/normal.ico"
convert "$work/ico-select.png" "$common/select.ico"

# --- skin preview ----------------------------------------------------------------------------

# The window as the shell lays it out (title bar pieces and buttons, menu
# band, tool area, the connection panel with sample values, the skin buttons and the
# status bar), shrunk into the skin's preview picture. Set KIVRA_PREVIEW_PNG
# to a path to keep the full-size picture as well.
mono="DejaVu-Sans-Mono-Bold"
convert "$work/title-strip.png" -scale 642x18! "$work/pv-title.png"
convert "$work/tool-icons.png" -transparent "$toolmask" "$work/pv-tool-icons.png"
convert "$work/btn-icons.png" -transparent "$magenta" "$work/pv-btn-icons.png"
convert "$work/signal-bars.png" -transparent "$magenta" -crop 40x24+160+0 +repage "$work/pv-signal.png"

# Tool bar buttons: 76 x 56 from x = 12, a separator after the third; the
# logo at the bar's right end.
tool_args=(\( "$work/tool-logo.png" -crop "160x${tool_h}+0+0" +repage \) -geometry "+480+$tool_top" -composite)
x=12
n=0
for name in Connection Messages Statistics - Settings Help; do
  if [ "$name" = - ]; then
    tool_args+=(-fill "$line" -draw "line $((x + 3)),$((tool_top + 6)) $((x + 3)),$((tool_top + 50))"
                -fill white -draw "line $((x + 4)),$((tool_top + 6)) $((x + 4)),$((tool_top + 50))")
    x=$((x + 8)); continue
  fi
  if [ $n -eq 0 ]; then
    tool_args+=(-fill '#d6e6f3' -stroke '#98b5cf'
                -draw "roundrectangle $x.5,$tool_top.5 $((x + 75)).5,$((tool_top + 55)).5 3,3" -stroke none)
  fi
  tool_args+=(\( "$work/pv-tool-icons.png" -crop "32x32+$((n * 32))+0" +repage \) -geometry "+$((x + 22))+$((tool_top + 6))" -composite)
  tool_args+=(\( -background none -fill black -font "$font" -pointsize 11 label:"$name" \) -gravity northwest
              -geometry "+$((x + 38 - ${#name} * 3))+$((tool_top + 40))" -composite)
  x=$((x + 76)); n=$((n + 1))
done

# Footer buttons: shared faces with an icon in the left half and the label
# centred in the right half, and the connect button's own face.
foot_args=()
for spec in "12 0 Menu" "232 4 New" "356 1 Expand" "448 2 Tray" "540 3 Exit"; do
  read -r bx bi bl <<<"$spec"
  foot_args+=("$work/btn-normal.png" -geometry "+$bx+378" -composite
              \( "$work/pv-btn-icons.png" -crop "20x20+$((bi * 20))+0" +repage \) -geometry "+$((bx + 12))+383" -composite
              \( -background none -fill "$ink" -font "$font_bold" -pointsize 11 label:"$bl" \) -gravity center
              -geometry "+$((bx + 66 - 320))+$((393 - 220))" -composite -gravity northwest)
done
foot_args+=("$work/bc-normal.png" -geometry +106+378 -composite
            \( -background none -fill white -font "$font_bold" -pointsize 12 label:Connect \) -gravity center
            -geometry "+$((166 - 320))+$((393 - 220))" -composite -gravity northwest)

convert "$work/background.png" \
  "$work/pv-title.png" -geometry -1+1 -composite \
  "$work/title-glow.png" -geometry -1+1 -composite \
  "$skin/title_min.bmp" -geometry +585+1 -composite \
  "$skin/title_max.bmp" -geometry +603+1 -composite \
  "$skin/title_close.bmp" -geometry +621+1 -composite \
  "$work/icon-16.png" -geometry +1+1 -composite \
  -font "$mono" -pointsize 12 -fill black -annotate +18+14 'Kivra Mobile Broadband' \
  -font "$font" -pointsize 11 -fill black -annotate +10+$((menu_top + 2)) 'File    View    Help' \
  "${tool_args[@]}" \
  "$work/panel-connect.png" -geometry +12+96 -composite \
  "$work/pv-signal.png" -geometry +44+124 -composite \
  -font "$font_bold" -pointsize 20 -fill white -annotate +44+196 'Kivra Net' \
  -font "$font" -pointsize 12 -fill '#bfe9e0' -annotate +44+218 'Connected  ·  HSPA+' \
  -font "$font" -pointsize 10 -fill '#6a8096' \
  -annotate +358+158 'Duration' -annotate +518+158 'Received' -annotate +358+278 'Sent' -annotate +518+278 'Speed' \
  -font "$font_bold" -pointsize 15 -fill "$ink" \
  -annotate +338+190 '00:12:48' -annotate +498+190 '84.2 MB' -annotate +338+310 '6.9 MB' -annotate +498+310 '2.4 Mb/s' \
  "${foot_args[@]}" \
  -fill '#eef2f6' -draw "rectangle 0,418 639,439" -fill '#b9c9d9' -draw "line 0,418 639,418" \
  -fill '#c9d5e1' -draw "line 300,420 300,438 line 400,420 400,438 line 520,420 520,438" \
  -font "$font" -pointsize 11 -fill "$ink" \
  -annotate +8+422 'For help, press F1' -annotate +308+422 'Signal: good' -annotate +408+422 'HSPA+' \
  -annotate +528+422 '00:12:48' \
  "$work/bg-mask.png" -alpha off -compose copyopacity -composite "$work/preview-full.png"
if [ -n "${KIVRA_PREVIEW_PNG:-}" ]; then cp "$work/preview-full.png" "$KIVRA_PREVIEW_PNG"; fi
convert -size 660x460 xc:'#e6ebf0' \
  \( "$work/preview-full.png" -background 'rgba(20,40,60,0.6)' -shadow 60x5+0+3 \) -geometry +0+0 -composite \
  "$work/preview-full.png" -geometry +10+8 -composite -filter Lanczos -resize 200x139! -alpha off \
  -sampling-factor 1x1 -quality 90 "JPEG:$skin/preview.jpg"
