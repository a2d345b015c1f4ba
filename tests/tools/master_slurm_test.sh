#!/usr/bin/env bash
# korvani-master's 5 x 5 run on a real Slurm cluster of two nodes on this machine (tests/tools/slurm_cluster.sh):
# the value proved, every part accepted by korvani-check, jobs on both nodes, nothing left in the queue.
#   tests/tools/master_slurm_test.sh KORVANI_MASTER   (korvani-solve and korvani-check beside it)
# As root, which the cluster's nodes need to run the jobs; skipped (status 77) otherwise.
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then
  echo "master Slurm test: skipped, the test cluster needs root"
  exit 77
fi
tools="$(cd "$(dirname "$1")" && pwd)"
work="$(mktemp -d)"
# shellcheck source=tests/tools/slurm_cluster.sh
source "$(dirname "$0")/slurm_cluster.sh"
trap 'slurm_cluster_down; rm -rf "$work"' EXIT
fail() { echo "master Slurm test: $*" >&2; exit 1; }

mkdir "$work/cluster"
slurm_cluster_up "$work/cluster" 2
timeout 240 "$tools/korvani-master" --slurm --jobs 4 --size 5 --nodes 10000 --table 4 --out "$work/run" >"$work/run.log" ||
  fail "the run ended with status $?: $(tail -3 "$work/run.log")"
last="$(tail -1 "$work/run.log")"
[[ "$last" == "accepted: Black wins on 5 x 5 after the moves (none), within "* ]] || fail "the run's last line: $last"
! grep -qE '^node (wait|sent|failed|split) ' "$work/run/master.state" || fail "left undone: $(cat "$work/run/master.state")"
for checked in "$work"/run/*.checked; do
  head -1 "$checked" | grep -q '^accepted: ' || fail "$checked: $(head -1 "$checked")"
done
grep -qx 'on n1' "$work"/run/*.out && grep -qx 'on n2' "$work"/run/*.out || fail "the jobs did not run on both nodes"
[ -z "$(squeue -h)" ] || fail "jobs left in the queue: $(squeue -h)"
echo "master Slurm test: passed"
