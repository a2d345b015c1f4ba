#!/usr/bin/env bash
# korvani-master with its local jobs on 5 x 5, with a budget small enough that it must cut: it proves
# Black's win as the solver does, every part accepted by korvani-check; killed mid-run and started again,
# it reaches the same value without proving again a part it had proved.
#   tests/tools/master_test.sh KORVANI_MASTER   (korvani-solve and korvani-check beside it)
set -euo pipefail
tools="$(cd "$(dirname "$1")" && pwd)"
work="$(mktemp -d)"
master_pid=""
# A killed master leaves its jobs running, each in a group of its own named in the tree.
stop_jobs() { for pid in $(awk '$2 == "sent" { print $4 }' "$work"/*/master.state 2>/dev/null); do kill -9 -- "-$pid" 2>/dev/null || true; done; }
trap '[ -z "$master_pid" ] || kill -9 "$master_pid" 2>/dev/null; stop_jobs; rm -rf "$work"' EXIT
fail() { echo "master test: $*" >&2; exit 1; }

# korvani-solve as it is, each call's moves written to calls, and slowed so that the master can be
# killed mid-run.
cat >"$work/solve" <<EOF
#!/usr/bin/env bash
args=("\$@")
for ((k = 0; k < \${#args[@]}; ++k)); do [ "\${args[k]}" != --moves ] || echo "\${args[k + 1]}" >>"$work/calls"; done
sleep 0.1
exec "$tools/korvani-solve" "\$@"
EOF
chmod +x "$work/solve"
options=(--size 5 --nodes 10000 --table 4 --solve "$work/solve" --check "$tools/korvani-check" --out)
master() { "$tools/korvani-master" "${options[@]}" "$@"; }
value='accepted: Black wins on 5 x 5 after the moves (none), within '

# In one go: the value, parts cut and concluded, and each part's proof accepted by its check.
master "$work/whole" >"$work/whole.log" || fail "the run ended with status $?: $(tail -3 "$work/whole.log")"
grep -q "^$value" <<<"$(tail -1 "$work/whole.log")" || fail "the run's last line: $(tail -1 "$work/whole.log")"
[ "$(grep -c '^node concluded' "$work/whole/master.state")" -ge 3 ] || fail "fewer than 3 cuts: $(cat "$work/whole/master.state")"
! grep -qE '^node (wait|sent|failed|split) ' "$work/whole/master.state" || fail "left undone: $(cat "$work/whole/master.state")"
while read -r _ state _ _ moves; do
  name="${moves// /-}"
  case "$state" in
    proved) head -1 "$work/whole/$name.checked" | grep -q "^accepted: .* after the moves $moves, within" ;;
    concluded) head -1 "$work/whole/${name:-start}.concluded" | grep -q "^accepted: .* after the moves ${moves:-(none)}, .* by the" ;;
    *) true ;;
  esac || fail "$state ${moves:-(none)} without its accepted line"
done < <(grep '^node ' "$work/whole/master.state")

# Killed once some parts are proved, then started again: the proved parts are not proved again.
: >"$work/calls"
"$tools/korvani-master" "${options[@]}" "$work/resumed" >"$work/first.log" 2>&1 &
master_pid=$!
for ((wait = 0; wait < 300; ++wait)); do
  proved="$(grep -c '^node proved' "$work/resumed/master.state" 2>/dev/null || true)"
  [ "${proved:-0}" -lt 5 ] || break
  kill -0 "$master_pid" 2>/dev/null || fail "the master ended before it was killed: $(tail -3 "$work/first.log")"
  sleep 0.1
done
kill -9 "$master_pid"
wait "$master_pid" 2>/dev/null || true
master_pid=""
[ "${proved:-0}" -ge 5 ] || fail "fewer than 5 parts proved within 30 s"
grep '^node proved' "$work/resumed/master.state" | cut -d' ' -f5- | sort >"$work/proved"
: >"$work/calls"
master "$work/resumed" >"$work/again.log" || fail "the run again ended with status $?: $(tail -3 "$work/again.log")"
grep -q '^resumed: ' "$work/again.log" || fail "the run again did not resume"
again="$(sort -u "$work/calls" | comm -12 - "$work/proved")"
[ -z "$again" ] || fail "proved again after the stop: $again"
[ -s "$work/calls" ] || fail "the run again proved nothing more"
grep -q "^$value" <<<"$(tail -1 "$work/again.log")" || fail "the run again's last line: $(tail -1 "$work/again.log")"
echo "master test: passed"
