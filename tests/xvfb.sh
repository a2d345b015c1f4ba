# The one way the project's scripts start a virtual X server, sourced by each (tests/with-xvfb, the
# Windows tests' Wine session, scripts/screenshot, and scripts/fresh-check inside its roots):
#   xvfb_start [SCREEN [NUMBER]]  starts Xvfb with the screen (default 800x800x24) on a free display, or
#                                 on :NUMBER, and waits up to 30 s until it takes connections; sets
#                                 DISPLAY and XVFB_PID. It fails saying why, with the server's own words.
#   xvfb_stop                     stops it, and waits until it has ended.
# The server's output goes to a file of its own, never to the caller's: a server that outlives the script
# (the Wine session's, on purpose) would otherwise hold the caller's pipe open, and ctest waits for the
# pipe to close. -noreset: by default the server resets when its last client leaves, and a client that
# connects at that moment (a child process, xdotool) is refused, and xrdb's resources are forgotten.

xvfb_start() {
  local screen=${1:-800x800x24} number=${2:-}
  XVFB_DIR=$(mktemp -d) || return 1
  # shellcheck disable=SC2086 # the display number, when given, is one word or none
  Xvfb ${number:+":$number"} -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$XVFB_DIR/display" \
    </dev/null >"$XVFB_DIR/xvfb.log" 2>&1 &
  XVFB_PID=$!
  # Xvfb writes the display number once it takes connections. Under load that may take a while: up to
  # 30 s (300 polls of a tenth of a second, longer when the machine is busy).
  local k
  for ((k = 0; k < 300; ++k)); do
    [ -s "$XVFB_DIR/display" ] && break
    if ! kill -0 "$XVFB_PID" 2>/dev/null; then
      echo "xvfb: Xvfb did not start:" >&2
      cat "$XVFB_DIR/xvfb.log" >&2
      return 1
    fi
    sleep 0.1
  done
  if [ ! -s "$XVFB_DIR/display" ]; then
    echo "xvfb: Xvfb gave no display number within 30 s:" >&2
    cat "$XVFB_DIR/xvfb.log" >&2
    return 1
  fi
  DISPLAY=":$(head -n1 "$XVFB_DIR/display")"
  export DISPLAY
}

# Waits up to $1 tenths of a second for the server to end; true when it has. Bash reaps its ended
# children by itself, so a gone server is gone from the process table as well.
xvfb_ends_within() {
  local k
  for ((k = 0; k < $1; ++k)); do
    kill -0 "$XVFB_PID" 2>/dev/null || return 0
    sleep 0.1
  done
  ! kill -0 "$XVFB_PID" 2>/dev/null
}

# Xvfb can lose a SIGTERM: its handler only sets a flag that the main loop checks just before it sleeps,
# and a signal landing between that check and the sleep leaves it asleep until its next timer, ten
# minutes away. So the signal is repeated for a few seconds, and then the server is killed.
xvfb_stop() {
  [ -n "${XVFB_PID:-}" ] || return 0
  if kill -TERM "$XVFB_PID" 2>/dev/null && ! xvfb_ends_within 10; then
    echo "xvfb: waiting for Xvfb (pid $XVFB_PID) to stop on SIGTERM; it is killed after 5 s" >&2
    local k
    for ((k = 0; k < 8; ++k)); do
      kill -TERM "$XVFB_PID" 2>/dev/null
      xvfb_ends_within 5 && break
    done
    if kill -KILL "$XVFB_PID" 2>/dev/null && ! xvfb_ends_within 50; then
      echo "xvfb: Xvfb (pid $XVFB_PID) still runs 5 s after SIGKILL; left behind" >&2
    fi
  fi
  rm -rf "${XVFB_DIR:-}"
  XVFB_PID=
}
