#!/usr/bin/env bash
# The game on a screen of the given dots per inch (Xft.dpi; "96" sets none), optionally with
# FLTK_SCALING_FACTOR (the fourth argument, "" for none) and zoomed in with Ctrl and + twice (a fifth
# argument "zoom": 1.2 times the screen's scale): its window measures 230 x 300 times the scale, its icon
# 32 x 32 times the screen's scale rounded, the grid's lines of one width with cells one pixel apart at
# most, the new game button's dot round and the cursor's corners alike, a click at the scaled place of
# the centre point plays there, and a tooltip shown writes no preference file, in HOME, in XDG_CONFIG_HOME or, as root, in /etc. FLTK 1.3
# does not scale: a scaled screen is skipped there (status 77). Runs under tests/with-xvfb, whose server
# keeps its resources (-noreset).
set -euo pipefail
korvani="$(realpath "$1")"
here="$(cd "$(dirname "$0")" && pwd)"
fltk="$2"
dpi="$3"
factor="${4:-}"
zoom="${5:-}"
# The scale as a fraction, num / den; a place at scale 1 is at place * num / den.
num=$((dpi * ${factor:-1}))
den=96
[ -z "$zoom" ] || { num=$((num * 6)); den=$((den * 5)); }
s() { echo $(($1 * num / den)); }
if [ "$num" -ne "$den" ] && [ "$fltk" = "1.3" ]; then
  echo "scale: FLTK 1.3 has no screen scale"
  exit 77
fi
work="$(mktemp -d)"
pid=""
trap '[ -z "$pid" ] || kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir "$work/game" "$work/home" "$work/config"
cd "$work/game"

# The X clients wait on the server; should it stop answering, each gives up after 30 s and says so.
x() {
  local status=0
  timeout 30 "$@" || status=$?
  [ "$status" -ne 124 ] || { echo "scale: $1 did not finish within 30 s"; exit 1; }
  return "$status"
}
fail() {
  echo "scale ($dpi dpi${factor:+, FLTK_SCALING_FACTOR $factor}${zoom:+, zoomed in}): $*"
  exit 1
}

[ "$dpi" = 96 ] || x xrdb -merge <<<"Xft.dpi: $dpi"
etc_before="$(find /etc/fltk 2>/dev/null | sort || true)"
env HOME="$work/home" XDG_CONFIG_HOME="$work/config" ${factor:+FLTK_SCALING_FACTOR=$factor} "$korvani" 2>../err.log &
pid=$!

window=""
for _ in $(seq 300); do
  window="$(LC_ALL=C.UTF-8 timeout 30 xwininfo -root -tree | grep '"  КОРВАНИ"' | awk '{print $1}' | head -n1 || true)"
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || fail "the game's window did not show within 30 s"
sleep 0.5
# The window's icon is drawn at the screen's scale, before any zoom.
icon="$(x xprop -id "$window" -f _NET_WM_ICON 32c '=$0x$1' _NET_WM_ICON)"
side=$((32 * ((dpi * ${factor:-1} + 48) / 96)))
[ "$icon" = "_NET_WM_ICON(CARDINAL)=${side}x${side}" ] || fail "the window's icon: $icon, not ${side}x${side}"
if [ -n "$zoom" ]; then
  x xdotool windowfocus "$window"
  x xdotool key ctrl+plus
  sleep 0.5
  x xdotool key ctrl+plus
  # The toolkit shows the new scale for a while in a window of its own, over the game's.
  sleep 3
fi

size="$(x xwininfo -id "$window" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')"
[ "$size" = "$(s 230)x$(s 300)" ] || fail "the window is $size"

# The grid's lines of one width with even cells, the new game button's dot round, and once a key has
# shown it, the cursor's corners alike (tests/app/board_pixels.awk).
look() {
  x import -window "$window" look.png
  faults="$(convert look.png -compress none ppm:- | awk -v num="$num" -v den="$den" -v cursor="$1" -f "$here/board_pixels.awk")"
  [ -z "$faults" ] || fail "$(echo "$faults" | head -n 6 | paste -sd ';')"
  rm look.png
}
look 0
x xdotool windowfocus "$window" key Right
sleep 0.5
look 1

# The centre point at scale 1 is at (115, 200), its grid lines 29 apart from (57, 142): here each times
# the scale. The light share of a patch between the lines below-right of a point: 1 when empty, less
# under a stone.
x xdotool mousemove --window "$window" "$(s 115)" "$(s 200)" click 1
sleep 1.5
x import -window "$window" shot.png
light() {
  convert shot.png -crop "$(s 7)x$(s 7)+$(s $((57 + 29 * $2 + 6)))+$(s $((142 + 29 * $1 + 6)))" \
    +repage -colorspace Gray -threshold 50% -format '%[fx:mean]' info:
}
stones=0
for row in 0 1 2 3 4; do
  for col in 0 1 2 3 4; do
    share="$(light "$row" "$col")"
    if awk -v s="$share" 'BEGIN { exit !(s < 0.5) }'; then
      [ "$row$col" = "22" ] || fail "a black stone at $row $col, not at the centre"
      stones=$((stones + 1))
    elif awk -v s="$share" 'BEGIN { exit !(s < 1) }'; then
      stones=$((stones + 1))
    fi
  done
done
awk -v s="$(light 2 2)" 'BEGIN { exit !(s < 0.5) }' || fail "no black stone at the centre"
[ "$stones" -eq 2 ] || fail "expected the black stone and the white answer, saw $stones stones"

# The new game button's tooltip, in the toolkit's pale yellow, then the way out.
x xdotool mousemove --window "$window" "$(s 30)" "$(s 66)"
sleep 0.3
x xdotool mousemove --window "$window" "$(s 31)" "$(s 67)"
sleep 2.5
x import -window root tip.png
tip="$(convert tip.png -fill black +opaque '#FFFFBF' -fill white -opaque '#FFFFBF' -format '%[fx:mean*w*h]' info:)"
awk -v n="$tip" 'BEGIN { exit !(n > 100) }' || fail "no tooltip showed"
rm shot.png tip.png
x xdotool windowfocus "$window" key Escape
for _ in $(seq 200); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
! kill -0 "$pid" 2>/dev/null || fail "the game did not end within 20 s of Escape"
status=0
wait "$pid" || status=$?
pid=""
[ "$status" -eq 0 ] || fail "exit status $status"

written="$(cd "$work" && find home config game -mindepth 1 | sort)"
# The rating file and the lock its save takes, nothing else.
[ "$written" = "$(printf 'game/korvani.ini\ngame/korvani.ini.lock')" ] || fail "files left: $(echo $written)"
[ "$(find /etc/fltk 2>/dev/null | sort || true)" = "$etc_before" ] || fail "/etc/fltk changed: $(find /etc/fltk)"
echo "scale: ${size}, ok"
