#!/usr/bin/env bash
# tests/with-xvfb against a stand-in X server that ignores SIGTERM, as a real one does when the signal is
# lost, and leaves a helper process behind holding its output: the wrapper still ends, kills the server,
# never hands the server its own output, and exits with the wrapped command's status.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
# The stand-in's processes of every run are killed here whatever happens; each wrote its pid to the file.
trap 'cat "$work"/pids* 2>/dev/null | xargs -r kill -KILL 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir "$work/bin"
cat >"$work/bin/Xvfb" <<'EOF'
#!/usr/bin/env bash
# Hands out display 99 on the descriptor after -displayfd, then sleeps through SIGTERM.
trap '' TERM
while [ $# -gt 0 ] && [ "$1" != -displayfd ]; do shift; done
sleep 600 &
echo $! >>"$STANDIN_PIDS"
echo $$ >>"$STANDIN_PIDS"
echo 99 >&"$2"
exec sleep 600
EOF
chmod +x "$work/bin/Xvfb"

fail() { echo "with-xvfb test: $*" >&2; exit 1; }

# Runs with-xvfb with the stand-in first on PATH; its output is read through a pipe, which a server
# holding it would keep open after the wrapper ended. The outer limits only keep a broken wrapper from
# hanging this test.
runs=0
run() {
  runs=$((runs + 1))
  export STANDIN_PIDS="$work/pids.$runs"
  : >"$STANDIN_PIDS"
  set +e
  PATH="$work/bin:$PATH" timeout 60 "$here/with-xvfb" "$@" 2>"$work/err" | timeout 60 cat >"$work/out"
  local statuses=("${PIPESTATUS[@]}")
  set -e
  status=${statuses[0]}
  out="$(cat "$work/out")"
  [ "$status" -ne 124 ] || fail "with-xvfb did not end within 60 s of a server that ignores SIGTERM"
  [ "${statuses[1]}" -eq 0 ] || fail "with-xvfb's output stayed open after it ended: the server holds it"
  [ "$(wc -l <"$STANDIN_PIDS")" -eq 2 ] || fail "the stand-in server did not start"
  local server
  server="$(tail -n1 "$STANDIN_PIDS")"
  # Its reaped pid could in principle be handed out again, so the name is checked too.
  if [ "$(ps -o comm= -p "$server" || true)" = sleep ]; then fail "the server was left running"; fi
  grep -q "waiting for Xvfb (pid $server) to stop on SIGTERM" "$work/err" ||
    fail "no line said what the wrapper waited for: $(cat "$work/err")"
}

run sh -c 'echo "display $DISPLAY"'
[ "$status" -eq 0 ] || fail "a passing command came back as status $status"
[ "$out" = "display :99" ] || fail "the command saw '$out', not the stand-in's display"

run sh -c 'exit 3'
[ "$status" -eq 3 ] || fail "a command failing with 3 came back as status $status"
echo "with-xvfb: ok"
