#!/usr/bin/env bash
# The game as a native Wayland client (WAYLAND_DISPLAY set, no DISPLAY, FLTK_BACKEND=wayland) of a
# weston nested in the test's virtual X server (tests/with-xvfb), whose output has the scale given (1 or
# 2): the protocol log (WAYLAND_DEBUG=client), read while the game runs, shows the window's surface
# committed with a buffer of 230 x 300 times the scale at that buffer scale; the screen shows the
# window's content at that size in pixels; a click on the centre point, sent to weston's X window,
# reaches the game, whose stone and the computer's answer appear; SIGTERM ends the game through its exit,
# with the rating file written. Every wait is bounded and says what did not happen; everything the test
# started is stopped.
set -euo pipefail
korvani="$(realpath "$1")"
scale="$2"
command -v weston >/dev/null || { echo "wayland: weston is not installed (Debian package weston)"; exit 1; }
work="$(mktemp -d)"
game=""
weston=""
# Stops a process started here: SIGTERM, up to 10 s, then SIGKILL.
stop() {
  local k
  kill -TERM "$1" 2>/dev/null || return 0
  for ((k = 0; k < 100; ++k)); do
    kill -0 "$1" 2>/dev/null || return 0
    sleep 0.1
  done
  echo "wayland: process $1 did not end within 10 s of SIGTERM; killed"
  kill -KILL "$1" 2>/dev/null || true
}
cleanup() {
  [ -z "${KORVANI_KEEP:-}" ] || cp -r "$work" "$KORVANI_KEEP"
  [ -z "$game" ] || stop "$game"
  [ -z "$weston" ] || stop "$weston"
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "wayland (scale $scale): $*"
  echo "--- weston's log:"; tail -n 20 "$work/weston.log" 2>/dev/null || true
  echo "--- the game's error stream, but for the protocol log:"; grep -v '^\[' "$work/game.log" 2>/dev/null | tail -n 20 || true
  exit 1
}
# Runs its arguments every tenth of a second until they succeed, for at most $1 seconds.
within() {
  local end=$((SECONDS + $1))
  shift
  while [ "$SECONDS" -lt "$end" ]; do
    "$@" && return 0
    sleep 0.1
  done
  "$@"
}

# A desktop of one colour, no panel and no animations: nothing on the screen but the game's window.
mkdir -m 700 "$work/runtime"
mkdir "$work/game" "$work/home"
cat >"$work/weston.ini" <<'EOF'
[core]
idle-time=0
[shell]
background-color=0xff203040
panel-position=none
locking=false
animation=none
startup-animation=none
close-animation=none
focus-animation=none
EOF
export XDG_RUNTIME_DIR="$work/runtime"
socket="korvani-$$"
# 380 x 360 units: the window and its title bar fit, and at scale 2 weston's X window (760 x 720
# pixels) lies wholly on the virtual screen, where xdotool's pointer reaches all of it.
env -u WAYLAND_DISPLAY weston --backend=x11-backend.so --use-pixman --socket="$socket" --scale="$scale" \
  --width=380 --height=360 --config="$work/weston.ini" >"$work/weston.log" 2>&1 &
weston=$!
within 30 test -S "$XDG_RUNTIME_DIR/$socket" || fail "weston gave no socket within 30 s"

# Weston's X window, the nested compositor's screen: the X pointer moved and clicked there moves and
# clicks weston's pointer. Whenever the screen is read, weston's pointer waits in the output's top-left
# corner, above the window's title bar, where it covers nothing of the window's content.
output="$(timeout 30 xdotool search --class 'Weston Compositor' || true)"
[ -n "$output" ] || fail "no X window of weston's found"
pointer() { timeout 30 xdotool mousemove --window "$output" "$@" || fail "xdotool could not move the pointer"; }
pointer 0 0

(cd "$work/game" && exec env -u DISPLAY WAYLAND_DISPLAY="$socket" FLTK_BACKEND=wayland WAYLAND_DEBUG=client \
  HOME="$work/home" XDG_CONFIG_HOME="$work/home" "$korvani" 2>"$work/game.log") &
game=$!
: >>"$work/game.log"

# The buffer last committed on the top-level window's surface, as "W x H, scale S", from the protocol
# log written so far: the surface given an xdg_toplevel, the size of the buffer attached to it (buffer
# ids are used again, so the latest creation counts) and its buffer scale, at its commit.
shown_buffer() {
  # Debian 12's libwayland (1.21) writes an object wl_surface@15, Debian 13's (1.23) wl_surface#15,
  # after the name of its queue.
  awk '
    /get_xdg_surface\(/ { match($0, /new id xdg_surface[@#][0-9]+/); xs = substr($0, RSTART + 7, RLENGTH - 7)
                          match($0, /wl_surface[@#][0-9]+\)/); surface_of[xs] = substr($0, RSTART, RLENGTH - 1) }
    /\.get_toplevel\(/ { match($0, /xdg_surface[@#][0-9]+/); top = surface_of[substr($0, RSTART, RLENGTH)] }
    /create_buffer\(/ { n = split($0, f, /[(, )]+/); for (k = 1; k <= n; ++k) if (f[k] ~ /^wl_buffer[@#]/) break
                        size[f[k]] = f[k + 2] " x " f[k + 3] }
    top != "" && index($0, "-> " top ".attach(") { match($0, /wl_buffer[@#][0-9]+/); attached = size[substr($0, RSTART, RLENGTH)] }
    top != "" && index($0, "-> " top ".set_buffer_scale(") { match($0, /\([0-9]+\)/); buffer_scale = substr($0, RSTART + 1, RLENGTH - 2) }
    top != "" && index($0, "-> " top ".commit()") && attached != "" { shown = attached ", scale " buffer_scale }
    END { print shown }' "$work/game.log"
}
want="$((230 * scale)) x $((300 * scale)), scale $scale"
buffer_is_shown() { [ "$(shown_buffer)" = "$want" ]; }
within 30 buffer_is_shown || fail "no $want buffer committed on the window's surface within 30 s (last: '$(shown_buffer)')"

# The screen, as weston's X window shows it. The window's content is the only pure white there that
# fills whole lines: its white frame's columns are white for its whole height, its rows for its whole
# width (the title bar's letters and the pointer's outline are white too, but fill none).
shot() { timeout 30 import -window root "$work/shot.png"; }
# The first and the last of the screen's columns ($1 "col") or rows ($1 "row") white for at least $2
# pixels, or nothing.
white_lines() {
  local width height
  read -r width height <<<"$(identify -format '%w %h' "$work/shot.png")"
  local size="${width}x1" across="$height"
  [ "$1" = col ] || { size="1x$height"; across="$width"; }
  convert "$work/shot.png" -fill black +opaque white -depth 16 -scale "$size!" txt:- |
    awk -F'[(,)]' -v n="$2" -v across="$across" 'NR > 1 && $3 / 65535 * across > n - 0.5 {
      if (first == "") first = $1 + $2; last = $1 + $2 } END { if (first != "") print first, last }'
}
content=""
content_found() {
  shot || return 1
  local left right top bottom
  read -r left right <<<"$(white_lines col $((300 * scale)))"
  read -r top bottom <<<"$(white_lines row $((230 * scale)))"
  [ -n "$left" ] && [ -n "$top" ] || return 1
  [ $((right - left + 1)) -eq $((230 * scale)) ] && [ $((bottom - top + 1)) -eq $((300 * scale)) ] || return 1
  content="$left $top"
}
within 30 content_found || fail "the window's $((230 * scale)) x $((300 * scale)) pixels did not show on the screen within 30 s"
read -r cx cy <<<"$content"

# The number of stones on the board, and whether a black one is on the centre point: the share of dark
# pixels in the patch between the grid lines below-right of each point (grid lines 29 units apart from
# (57, 142)): none on an empty point, a few under a white stone's outline, most under a black stone.
board_read() {
  shot || return 1
  local row col dark
  stones=0
  centre=empty
  for row in 0 1 2 3 4; do
    for col in 0 1 2 3 4; do
      dark="$(convert "$work/shot.png" -crop "$((7 * scale))x$((7 * scale))+$((cx + (63 + 29 * col) * scale))+$((cy + (148 + 29 * row) * scale))" \
        +repage -colorspace Gray -threshold 50% -format '%[fx:round(100*(1-mean))]' info:)"
      [ "$dark" -eq 0 ] || stones=$((stones + 1))
      [ "$row$col" != 22 ] || [ "$dark" -lt 50 ] || centre=black
    done
  done
}
board_read || fail "could not read the screen"
[ "$stones" -eq 0 ] || fail "the board shows $stones stones before any move"

# The centre point at (115, 200) units.
pointer $((cx + 115 * scale)) $((cy + 200 * scale)) click 1
pointer 0 0
# The press of the left button (BTN_LEFT, 272) reached the game as a Wayland pointer event, and its log
# line is on the error stream while the game runs.
pressed() { grep -q -E '^\[ *[0-9.]+\] ({[^}]*} )?wl_pointer[@#][0-9]+\.button\([0-9]+, [0-9]+, 272, 1\)' "$work/game.log"; }
within 30 pressed || fail "the protocol log shows no press of the left button within 30 s of the click"
answered() { board_read && [ "$centre" = black ] && [ "$stones" -eq 2 ]; }
within 30 answered || fail "no black stone on the centre point and the computer's answer within 30 s of the click ($stones stones, centre $centre)"

# SIGTERM ends the game through its exit: status 0 and the rating file written.
kill -TERM "$game"
within 20 eval '! kill -0 "$game" 2>/dev/null' || fail "the game did not end within 20 s of SIGTERM"
status=0
wait "$game" || status=$?
game=""
[ "$status" -eq 0 ] || fail "the game ended with status $status"
[ -f "$work/game/korvani.ini" ] || fail "the game left no rating file"
others="$(grep -v '^\[' "$work/game.log" || true)"
[ -z "$others" ] || fail "the game wrote more than the protocol log to its error stream"
echo "wayland (scale $scale): buffer $want, content at $cx,$cy on the screen, the click played, ok"
