#!/usr/bin/env bash
# The real executable as a user meets it: started in an empty folder, one click on the centre point,
# the board read off a screenshot, Escape, and the rating file left behind; started off a terminal, as
# from a desktop menu, it writes nothing to its error stream. Then once more on a terminal (script's
# pseudo-terminal), where the computer's search writes its colour escapes. Runs under tests/with-xvfb.
set -euo pipefail
korvani="$1"
work="$(mktemp -d)"
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
cd "$work"

unset NO_COLOR CLICOLOR_FORCE
"$korvani" 2>err.log &
pid=$!

# The X clients wait on the server; should it stop answering, each gives up after 30 s and says so.
x() {
  local status=0
  timeout 30 "$@" || status=$?
  [ "$status" -ne 124 ] || { echo "e2e: $1 did not finish within 30 s"; exit 1; }
  return "$status"
}

# The window, once it is mapped: its id from the X server's tree (there is no window manager). Up to
# 30 s, longer on a busy machine.
find_window() {
  window=""
  for _ in $(seq 300); do
    window="$(LC_ALL=C.UTF-8 timeout 30 xwininfo -root -tree | grep '"  КОРВАНИ"' | awk '{print $1}' | head -n1 || true)"
    [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || { echo "e2e: the game's window did not show within 30 s"; exit 1; }
  sleep 0.5
}

# Escape in the game's window, then up to 20 s for the game ($1 names it) to end; bash reaps the ended
# game by itself, so a gone process is gone from the table as well.
escape_and_wait() {
  x xdotool windowfocus "$window" key Escape
  for _ in $(seq 200); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.1
  done
  echo "e2e: $1 did not end within 20 s of Escape"
  exit 1
}

find_window

# The centre point, row 2 column 2: grid lines 29 pixels apart from (57, 142).
x xdotool mousemove --window "$window" 115 200 click 1
sleep 1.5
x import -window "$window" shot.png

# The share of light pixels in a 7 x 7 patch between the grid lines below-right of a point's centre:
# 1 on the empty board, a little less under a white stone (its outline), far less under a black one.
light() {
  convert shot.png -crop "7x7+$((57 + 29 * $2 + 6))+$((142 + 29 * $1 + 6))" +repage -colorspace Gray \
    -threshold 50% -format '%[fx:mean]' info:
}
black=0
white=0
board=""
for row in 0 1 2 3 4; do
  for col in 0 1 2 3 4; do
    share="$(light "$row" "$col")"
    if awk -v s="$share" 'BEGIN { exit !(s < 0.5) }'; then
      board+="X"; black=$((black + 1))
      [ "$row$col" = "22" ] || { echo "black stone at $row $col"; exit 1; }
    elif awk -v s="$share" 'BEGIN { exit !(s < 1) }'; then
      board+="O"; white=$((white + 1))
    else
      board+="."
    fi
  done
  board+=$'\n'
done
printf '%s' "$board"
[ "$black" -eq 1 ] || { echo "expected one black stone in the centre, saw $black"; exit 1; }
[ "$white" -eq 1 ] || { echo "expected one white answer, saw $white"; exit 1; }

escape_and_wait "the game"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || { echo "exit status $status"; exit 1; }
[ "$(cat korvani.ini)" = "0.000000" ] || { echo "korvani.ini holds '$(cat korvani.ini)'"; exit 1; }
[ ! -s err.log ] || { echo "the game wrote $(wc -c <err.log) bytes to its error stream off a terminal"; exit 1; }

# On a terminal: the same click, and the search's escapes arrive, the last one the reset.
script -qfec "'$korvani'" terminal.log </dev/null >/dev/null 2>&1 &
pid=$!
find_window
x xdotool mousemove --window "$window" 115 200 click 1
sleep 1.5
escape_and_wait "the game on a terminal"
wait "$pid" || { echo "the game on a terminal ended with status $?"; exit 1; }
grep -q $'\033\\[ 36 m' terminal.log && grep -q $'\033\\[ 0 m' terminal.log \
  || { echo "no colour escapes on the terminal: $(od -c terminal.log | head -n 3)"; exit 1; }
echo "e2e: ok"
