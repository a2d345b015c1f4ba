#!/usr/bin/env bash
# scripts/proofs-6x6.slurm on a real Slurm cluster started here (munged, slurmctld and two slurmd nodes,
# tests/tools/slurm_cluster.sh), with the real korvani-solve and korvani-check on 5 x 5's parts: c3 in
# five parts (White's replies up to the board's symmetry) and a5 whole. Every part done and both classes
# concluded by the conclusion job sent with --dependency=afterok; a part failing, the conclusion job
# never run, and the array sent again doing that part alone; a task beyond the list refused. Needs root
# (the nodes run the jobs; SlurmUser is root): skipped (status 77) otherwise.
#   tests/tools/slurm_test.sh KORVANI_SOLVE KORVANI_CHECK
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
. "$root/tests/tools/slurm_cluster.sh"
if [ "$(id -u)" -ne 0 ]; then
  echo "slurm test: skipped: a Slurm cluster's nodes run as root"
  exit 77
fi
work="$(mktemp -d)"
trap 'slurm_cluster_down || true; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM HUP
fail() { echo "slurm test: $*" >&2; exit 1; }

mkdir "$work/cluster"
slurm_cluster_up "$work/cluster" 2 || fail "the cluster did not come up"
started=$SECONDS

# The jobs of one output folder: the array of every part, or the tasks given, and the conclusion after
# it. The memory asked for fits the test's nodes (the file's own is for 6 x 6).
board=(SIZE=5 CLASSES="c3 a5" REPLIES.c3="a5 b5 c5 b4 c4" TABLE=16 SOLVE="$1" CHECK="$2")
send() { sbatch --parsable --chdir="$root" --mem=100M "$@"; }
send_array() { send --array="$2" "$root/scripts/proofs-6x6.slurm" "${board[@]}" OUT="$work/$1"; }
send_conclusion() { send --dependency=afterok:"$2" "$root/scripts/proofs-6x6.slurm" "${board[@]}" OUT="$work/$1"; }
# The final state and exit code of each task, by its number ("0 COMPLETED 0:0").
tasks() { slurm_wait_job "$1" 30 | awk '{ print $3, $1, $2 }' | sort -n; }
all_done="$(printf '%s COMPLETED 0:0\n' 0 1 2 3 4 5)"

# The array of a clean run, one with part 3 (c3 b4) made to fail (its solver's log cannot be written),
# and a task beyond the six parts, side by side.
mkdir -p "$work/failed/c3-b4.solve.log.part"
array="$(send_array all 0-5)"
conclusion="$(send_conclusion all "$array")"
failed_array="$(send_array failed 0-5)"
failed_conclusion="$(send_conclusion failed "$failed_array")"
beyond="$(send_array beyond 6)"

# Every part done, on both nodes, and both classes concluded.
states="$(tasks "$array")"
[ "$states" = "$all_done" ] || fail "the tasks ended: $states"
state="$(slurm_wait_job "$conclusion" 30)" || fail "the conclusion did not end"
[ "$state" = "COMPLETED 0:0" ] || fail "the conclusion ended $state: $(cat "$work/all/slurm-$conclusion.log")"
grep -qx "accepted: Black wins on 5 x 5 after the moves c3, within 24 plies against any defence, by the 5 proofs above" \
  "$work/all/c3.concluded" || fail "c3 not concluded: $(cat "$work/all/c3.concluded")"
grep -q "^accepted: White wins on 5 x 5 after the moves a5," "$work/all/a5.concluded" || fail "a5 not concluded"
nodes="$(scontrol -o show job "$array" | grep -o ' BatchHost=[^ ]*' | sort -u | wc -l)"
[ "$nodes" -eq 2 ] || fail "the tasks ran on $nodes node(s), not 2"
! compgen -G "$root/slurm-*" >/dev/null || fail "the jobs wrote into the source folder: $(ls "$root"/slurm-*)"

# A task beyond the list fails saying so.
state="$(slurm_wait_job "$beyond" 30)" || fail "the task beyond the list did not end"
[ "$state" = "FAILED 2:0 6" ] || fail "the task beyond the list ended $state"
grep -qx "proofs-6x6: no part 6: 6 parts, from 0" "$work/beyond/slurm-${beyond}_6.log" ||
  fail "the task beyond the list said: $(cat "$work/beyond/slurm-${beyond}_6.log")"

# The failed part: its task alone failed, nothing of it looks done, and the conclusion stays pending
# for good. Sent again, the array does that part alone, and the conclusion concludes.
states="$(tasks "$failed_array")"
[ "$states" = "$(sed 's/^3 .*/3 FAILED 2:0/' <<<"$all_done")" ] || fail "with c3 b4 failing, the tasks ended: $states"
[ ! -e "$work/failed/c3-b4.proof" ] && [ ! -e "$work/failed/c3-b4.checked" ] || fail "the failed part left its files"
reason=""
for tries in $(seq 1 50); do
  reason="$(squeue -h -j "$failed_conclusion" -o '%T %r')"
  [ "$reason" != "PENDING DependencyNeverSatisfied" ] || break
  sleep 0.2
done
[ "$reason" = "PENDING DependencyNeverSatisfied" ] || fail "after a failed part the conclusion is: $reason"
[ ! -e "$work/failed/c3.concluded" ] && [ ! -e "$work/failed/slurm-$failed_conclusion.log" ] ||
  fail "the conclusion ran after a failed part"
scancel "$failed_conclusion"
rmdir "$work/failed/c3-b4.solve.log.part"
touch "$work/failed/.before"
array="$(send_array failed 0-5)"
conclusion="$(send_conclusion failed "$array")"
states="$(tasks "$array")"
[ "$states" = "$all_done" ] || fail "sent again, the tasks ended: $states"
state="$(slurm_wait_job "$conclusion" 30)" || fail "the conclusion sent again did not end"
[ "$state" = "COMPLETED 0:0" ] || fail "the conclusion sent again ended $state"
done_again="$(cd "$work/failed" && find . -type f -newer .before ! -name 'slurm-*.log' | sort | tr '\n' ' ')"
[ "$done_again" = "./a5.concluded ./c3-b4.checked ./c3-b4.proof ./c3-b4.solve.log ./c3.concluded " ] ||
  fail "sent again, the array wrote: $done_again"
cmp -s "$work/failed/c3.concluded" "$work/all/c3.concluded" || fail "c3 concluded differently after the failure"

jobs_s=$((SECONDS - started))
slurm_cluster_down || fail "the cluster did not stop cleanly"
left="$(pgrep -af "$work" || true)"
[ -z "$left" ] || fail "left running: $left"
echo "slurm test: passed (the jobs took $jobs_s s)"
