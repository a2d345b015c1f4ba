#!/usr/bin/env bash
# scripts/proofs-6x6.mk with stand-ins for korvani-solve and for korvani-check's walk (the conclusions
# are the real korvani-check's, from the stand-ins' logs): every part of 6 x 6 is written and checked
# once, a run again does nothing, and a part that failed is the only one done again.
#   tests/tools/proofs_test.sh KORVANI_CHECK
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
export REAL_CHECK="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "proofs test: $*" >&2; exit 1; }

# The stand-ins: each call leaves a line in calls; the solver fails for the part named in STUB_FAIL,
# leaving half a proof; the check accepts the moves of the proof, won by Black after c4 or c5.
cat >"$work/solve" <<'EOF'
#!/usr/bin/env bash
while [ $# -gt 0 ]; do case "$1" in --moves) moves="$2"; shift ;; --proof) proof="$2"; shift ;; esac; shift; done
echo "solve $moves" >>"$CALLS"
echo "moves $moves" >"$proof"
[ "${moves// /-}" != "${STUB_FAIL:-}" ] || exit 1
printf 'time: 9.000 s (CPU 4.250 s)\nproof: %s, 1 234 567 positions, 617 300 bytes, 20.000 s (CPU 12.500 s)\npeak memory: 2100.5 MB\n' "$proof"
EOF
cat >"$work/check" <<'EOF'
#!/usr/bin/env bash
[ "$1" != --conclude ] || exec "$REAL_CHECK" "$@"
moves="$(sed -n 's/^moves //p' "$1")"
echo "check $moves" >>"$CALLS"
case "$moves" in c4* | c5*) winner=Black ;; *) winner=White ;; esac
echo "accepted: $winner wins on 6 x 6 after the moves $moves, within 30 plies against any defence"
echo "positions: 1 of the winner remembered, 2 more met, 3 of the loser walked, CPU time: 7.125 s, peak memory: 55.5 MB"
EOF
chmod +x "$work/solve" "$work/check"
export SOLVE="$work/solve" CHECK="$work/check" CALLS="$work/calls"
runner() { make -s -j2 -f "$root/scripts/proofs-6x6.mk" OUT="$work/$1" "${@:2}"; }
calls() { grep -c "^$1 " "$CALLS" || true; }

# Every part once, every class concluded.
runner all >/dev/null
[ "$(calls solve)" = 78 ] && [ "$(calls check)" = 78 ] || fail "$(calls solve) proofs and $(calls check) checks, not 78 each"
grep -qx "accepted: Black wins on 6 x 6 after the moves c4, within 31 plies against any defence, by the 21 proofs above" \
  "$work/all/c4.concluded" || fail "c4 not concluded: $(cat "$work/all/c4.concluded")"
grep -qx "accepted: White wins on 6 x 6 after the moves b5 c4, within 31 plies against any defence, by the 19 proofs above" \
  "$work/all/b5-c4.concluded" || fail "b5 c4 not concluded: $(cat "$work/all/b5-c4.concluded")"
grep -q "by the 35 proofs above" "$work/all/c5.concluded" || fail "c5 not concluded"
grep -q "after the moves c6, within 30" "$work/all/c6.concluded" || fail "c6 not concluded"
figures="$(runner all figures)"
grep -qE '^c5-e5 +1234567 +617300 +4.250 +12.500 +2100.5 +7.125 +55.5$' <<<"$figures" || fail "figures: $figures"
: >"$CALLS"
runner all >/dev/null
[ ! -s "$CALLS" ] || fail "a run again did work again: $(cat "$CALLS")"

# A part cut short leaves nothing that looks done: only it is done again, then its class concluded.
STUB_FAIL=c5-e5 runner resumed -k all >/dev/null 2>&1 && fail "make ended well with a part failed"
[ ! -e "$work/resumed/c5-e5.proof" ] && [ ! -e "$work/resumed/c5.concluded" ] || fail "a failed part left its proof"
[ -e "$work/resumed/c4.concluded" ] || fail "the other classes were not done"
: >"$CALLS"
runner resumed all >/dev/null
[ "$(cat "$CALLS")" = "$(printf 'solve c5 e5\ncheck c5 e5')" ] || fail "the run again did: $(cat "$CALLS")"
[ -e "$work/resumed/c5.concluded" ] || fail "c5 not concluded after its part was done"

# The Slurm file's syntax; tests/tools/slurm_test.sh runs it on a real cluster.
bash -n "$root/scripts/proofs-6x6.slurm"
echo "proofs test: passed"
