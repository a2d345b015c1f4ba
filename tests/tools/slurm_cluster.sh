# A real Slurm cluster on this machine for the tests, sourced by them (bash):
#
#   . tests/tools/slurm_cluster.sh
#   trap slurm_cluster_down EXIT
#   slurm_cluster_up "$dir" 2 || exit 1     # munged, slurmctld and nodes n1 and n2; exports SLURM_CONF
#   id="$(sbatch --parsable ...)"
#   slurm_wait_job "$id" 30                 # prints "COMPLETED 0:0" once the job has left the queue
#   slurm_cluster_down                      # cancels the jobs, stops the daemons, checks none is left
#
# Every daemon runs in the foreground as a child of the calling shell, so that it is stopped by its own
# process id and never by a name. It needs root: the nodes run the jobs (SlurmUser=root), and munged
# trusts only its own user's socket. Debian's packages slurm-wlm, slurmctld, slurmd, slurm-client and munge.

SLURM_CLUSTER_DIR=""     # the folder of the configuration, state, logs and sockets
SLURM_CLUSTER_PIDS=()    # munged, slurmctld, then each slurmd
SLURM_CLUSTER_NAMES=()   # the daemon of each process id, for the messages

# Prints the first of N consecutive free TCP ports below the kernel's range of outgoing ports (10000 to
# 32767), none of them listening or in use now, chosen at random so that two clusters started side by
# side seldom pick the same. The nodes' ports are a range in slurm.conf.
slurm_free_ports() {
  local count="$1" port used k
  used=" $(for port in $(awk 'FNR > 1 { split($2, a, ":"); print a[2] }' /proc/net/tcp /proc/net/tcp6 2>/dev/null); do
    printf '%d ' $((16#$port))
  done) "
  while :; do
    port=$((10000 + RANDOM % 22700))
    for k in $(seq "$port" $((port + count - 1))); do
      [[ $used == *" $k "* ]] && continue 2
    done
    echo "$port"
    return 0
  done
}

# The last lines of every daemon's log, for a message saying what went wrong.
slurm_cluster_logs() {
  local log
  for log in "$SLURM_CLUSTER_DIR"/*.log; do
    [ -f "$log" ] || continue
    echo "--- the end of $log:"
    tail -n 15 "$log"
  done
}

# Starts munged, slurmctld and NODES slurmd (nodes n1 to nNODES, 4 CPUs and 2000 MB each, one port each)
# with a configuration of their own in DIR, which must exist, and exports SLURM_CONF for every client
# command. Returns once every node is idle, at most 30 s later; otherwise prints what did not come up with
# the daemons' logs, stops what it started and returns 1.
_slurm_cluster_up() {
  local dir="$1" nodes="$2"
  if [ ${#SLURM_CLUSTER_PIDS[@]} -gt 0 ]; then
    echo "slurm_cluster_up: a cluster is up already (in $SLURM_CLUSTER_DIR): slurm_cluster_down first" >&2
    return 1
  fi
  if ! [[ $nodes =~ ^[1-9][0-9]?$ ]] || [ ! -d "$dir" ]; then
    echo "slurm_cluster_up: give an existing folder and 1 to 99 nodes, not '$dir' and '$nodes'" >&2
    return 1
  fi
  if [ "$(id -u)" -ne 0 ]; then
    echo "slurm_cluster_up: needs root (the nodes run jobs as their owners, and SlurmUser is root)" >&2
    return 1
  fi
  local tool
  for tool in munged slurmctld slurmd sinfo squeue sbatch scontrol scancel; do
    command -v "$tool" >/dev/null || PATH="$PATH:/usr/sbin" command -v "$tool" >/dev/null || {
      echo "slurm_cluster_up: $tool is missing (packages slurm-wlm slurmctld slurmd slurm-client munge)" >&2
      return 1
    }
  done
  PATH="$PATH:/usr/sbin"
  SLURM_CLUSTER_DIR="$(cd "$dir" && pwd)"
  SLURM_CLUSTER_PIDS=()
  SLURM_CLUSTER_NAMES=()
  dir="$SLURM_CLUSTER_DIR"
  local host port
  host="$(hostname -s)"
  port="$(slurm_free_ports $((nodes + 1)))"
  mkdir -p "$dir/state" "$dir/spool"
  chmod 700 "$dir"

  # munged refuses a key that others may read, and a socket folder that others may write.
  head -c 1024 /dev/urandom >"$dir/munge.key"
  chmod 400 "$dir/munge.key"
  munged -F --force --key-file="$dir/munge.key" --socket="$dir/munge.socket" --pid-file="$dir/munged.pid" \
    --seed-file="$dir/munged.seed" --log-file="$dir/munged.log" </dev/null >>"$dir/munged.log" 2>&1 &
  SLURM_CLUSTER_PIDS+=($!)
  SLURM_CLUSTER_NAMES+=(munged)

  # No accounting, no cgroups: processes are tracked by their parents, a job's memory is only counted
  # against its node's (CR_Core_Memory) for scheduling. config_overrides lets every node claim the CPUs
  # and memory written here whatever the machine has. KillWait: a cancelled job is killed 2 s after its
  # SIGTERM, so that stopping the cluster is quick.
  cat >"$dir/slurm.conf" <<EOF
ClusterName=test
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$port
SlurmUser=root
AuthType=auth/munge
AuthInfo=socket=$dir/munge.socket
CredType=cred/munge
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool/%n
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd-%n.pid
SlurmctldLogFile=$dir/slurmctld.log
SlurmdLogFile=$dir/slurmd-%n.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core_Memory
SlurmdParameters=config_overrides
JobAcctGatherType=jobacct_gather/none
MpiDefault=none
MailProg=/bin/true
ReturnToService=2
KillWait=2
NodeName=n[1-$nodes] NodeHostname=$host NodeAddr=127.0.0.1 Port=[$((port + 1))-$((port + nodes))] CPUs=4 RealMemory=2000 State=UNKNOWN
PartitionName=test Nodes=ALL Default=YES MaxTime=INFINITE State=UP
EOF
  # Slurm 24 (Debian 13's 24.11) starts its cgroup plugin even when no plugin of the configuration uses
  # it, and where /sys/fs/cgroup is not mounted (a chroot) slurmd then fails to start: it is disabled.
  # Slurm 22.05 (Debian 12's) does not start it, and knows no "disabled".
  local version
  version="$(slurmd -V | sed -n 's/^slurm[^ ]* \([0-9]*\)\..*/\1/p')"
  [ "${version:-0}" -lt 24 ] || echo "CgroupPlugin=disabled" >"$dir/cgroup.conf"
  export SLURM_CONF="$dir/slurm.conf"

  # munged must answer before the Slurm daemons ask it for their first credentials.
  local tries=0
  until [ -S "$dir/munge.socket" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ] || ! kill -0 "${SLURM_CLUSTER_PIDS[0]}" 2>/dev/null; then
      echo "slurm_cluster_up: munged did not open its socket $dir/munge.socket within 10 s" >&2
      slurm_cluster_logs >&2
      _slurm_cluster_down >/dev/null 2>&1
      return 1
    fi
    sleep 0.1
  done
  slurmctld -D -i </dev/null >>"$dir/slurmctld.log" 2>&1 &
  SLURM_CLUSTER_PIDS+=($!)
  SLURM_CLUSTER_NAMES+=(slurmctld)
  local k
  for k in $(seq 1 "$nodes"); do
    mkdir -p "$dir/spool/n$k"
    slurmd -D -N "n$k" </dev/null >>"$dir/slurmd-n$k.log" 2>&1 &
    SLURM_CLUSTER_PIDS+=($!)
    SLURM_CLUSTER_NAMES+=("slurmd n$k")
  done

  # Up when sinfo lists every node idle; a daemon that has ended will not come up. Each query is bounded
  # too: a client retries a controller that does not answer for up to its MessageTimeout.
  local idle=0 ended="" i deadline=$((SECONDS + 30))
  while [ -z "$ended" ] && [ "$SECONDS" -lt "$deadline" ]; do
    for i in "${!SLURM_CLUSTER_PIDS[@]}"; do
      kill -0 "${SLURM_CLUSTER_PIDS[i]}" 2>/dev/null || ended+="${SLURM_CLUSTER_NAMES[i]}, "
    done
    [ -z "$ended" ] || break
    idle="$(timeout 5 sinfo -h -N -t idle -o %N 2>/dev/null | sort -u | wc -l)"
    if [ "$idle" -eq "$nodes" ]; then
      return 0
    fi
    sleep 0.1
  done
  [ -z "$ended" ] || echo "slurm_cluster_up: ended while the cluster came up: ${ended%, }" >&2
  echo "slurm_cluster_up: $idle of $nodes nodes idle; sinfo says:" >&2
  timeout 5 sinfo -N 2>&1 | sed 's/^/  /' >&2
  slurm_cluster_logs >&2
  _slurm_cluster_down >/dev/null 2>&1
  return 1
}

# Waits until job ID has left the queue, at most SECONDS, then prints its final state and exit code as
# scontrol gives them ("COMPLETED 0:0", "FAILED 2:0"; an array job a line for each task, with the task's
# number after them). Returns 1 saying so when the job has not ended after SECONDS (or the controller does
# not know it).
_slurm_wait_job() {
  local id="$1" seconds="$2"
  local deadline=$((SECONDS + seconds)) show states
  while :; do
    # A query that fails (a busy controller) shows no job either: the states must say it has ended.
    if [ -z "$(timeout 5 squeue -h -j "$id" 2>/dev/null)" ] && show="$(timeout 5 scontrol -o show job "$id" 2>&1)"; then
      states="$(awk '{ state = code = task = ""
        for (k = 1; k <= NF; k++) {
          split($k, f, "=")
          if (f[1] == "JobState") state = f[2]; else if (f[1] == "ExitCode") code = f[2]
          else if (f[1] == "ArrayTaskId") task = " " f[2]
        }
        print state, code task }' <<<"$show")"
      if ! grep -qE '^(PENDING|RUNNING|SUSPENDED|COMPLETING|CONFIGURING|REQUEUE|RESIZING|SIGNALING|STAGE_OUT)' <<<"$states"; then
        echo "$states"
        return 0
      fi
    fi
    if [ "$SECONDS" -ge "$deadline" ]; then
      echo "slurm_wait_job: job $id has not ended after $seconds s: $(timeout 5 squeue -h -j "$id" -o '%i %T %r' 2>&1 |
        tr '\n' ' ') $(timeout 5 scontrol -o show job "$id" 2>&1 | grep -o 'JobState=[^ ]*\|Invalid.*' | tr '\n' ' ')" >&2
      return 1
    fi
    sleep 0.2
  done
}

# Prints the process id and command line of each slurmstepd of this cluster still running, one a line.
slurm_cluster_steps() {
  local pid
  for pid in $(pgrep -f '^slurmstepd' 2>/dev/null); do
    [ "$(awk '{ print $3 }' "/proc/$pid/stat" 2>/dev/null)" != Z ] &&
      tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "SLURM_CONF=$SLURM_CLUSTER_DIR/slurm.conf" &&
      echo "$pid $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)"
  done
  return 0
}

# Cancels every job, waits (at most 30 s) until the queue is empty and no node is allocated, then stops
# slurmd, slurmctld and munged by their process ids and checks that none of them, nor any job's
# slurmstepd, is left. Safe to call twice and from an EXIT trap; returns 1 saying what was left.
_slurm_cluster_down() {
  [ ${#SLURM_CLUSTER_PIDS[@]} -gt 0 ] || return 0
  local status=0 tries
  if [ -n "${SLURM_CONF:-}" ] && kill -0 "${SLURM_CLUSTER_PIDS[1]:-0}" 2>/dev/null; then
    # scancel again every 5 s, for a job that the first did not see yet.
    local deadline=$((SECONDS + 30)) cancelled=-5 empty=""
    while [ "$SECONDS" -lt "$deadline" ]; do
      if [ $((SECONDS - cancelled)) -ge 5 ]; then
        timeout 5 scancel --quiet --user="$(id -un)" 2>/dev/null
        cancelled=$SECONDS
      fi
      if timeout 5 squeue -h >"$SLURM_CLUSTER_DIR/queue" 2>&1 && [ ! -s "$SLURM_CLUSTER_DIR/queue" ] &&
        [ -z "$(timeout 5 sinfo -h -N -t alloc,mix,comp -o %N 2>/dev/null)" ]; then
        empty=1
        break
      fi
      sleep 0.2
    done
    if [ -z "$empty" ]; then
      echo "slurm_cluster_down: the queue not empty or a node still allocated after 30 s:" >&2
      timeout 5 squeue 2>&1 | sed 's/^/  /' >&2
      timeout 5 sinfo -N 2>&1 | sed 's/^/  /' >&2
      status=1
    fi
  fi
  # The nodes first, then the controller, then munged, each awaited (at most 10 s, then SIGKILL).
  local i pid
  for i in $(seq $((${#SLURM_CLUSTER_PIDS[@]} - 1)) -1 0); do
    pid="${SLURM_CLUSTER_PIDS[i]}"
    kill "$pid" 2>/dev/null || continue
    for tries in $(seq 1 100); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
      echo "slurm_cluster_down: ${SLURM_CLUSTER_NAMES[i]} ($pid) did not end within 10 s of SIGTERM; killed" >&2
      kill -9 "$pid" 2>/dev/null
      status=1
    fi
    wait "$pid" 2>/dev/null
  done
  # A job's slurmstepd is no child of ours, and outlives its slurmd: ours have this cluster's
  # configuration in their environment. Each is given 10 s to end; one that has ended but whose parent
  # has not collected it yet (a zombie, state Z) is not running.
  local left=""
  for tries in $(seq 1 100); do
    left="$(slurm_cluster_steps)"
    [ -n "$left" ] || break
    sleep 0.1
  done
  for pid in "${SLURM_CLUSTER_PIDS[@]}"; do
    kill -0 "$pid" 2>/dev/null && left+=$'\n'"$pid $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)"
  done
  if [ -n "$left" ]; then
    echo "slurm_cluster_down: left running:" >&2
    sed '/^$/d; s/^/  /' <<<"$left" >&2
    status=1
  fi
  SLURM_CLUSTER_PIDS=()
  SLURM_CLUSTER_NAMES=()
  return "$status"
}

# The functions above run with errexit ignored (as the condition of ||), whether or not the caller's
# shell has set -e, so that a failed query is seen and answered by them rather than ending the caller.
slurm_cluster_up() { _slurm_cluster_up "$@" || return; }
slurm_wait_job() { _slurm_wait_job "$@" || return; }
slurm_cluster_down() { _slurm_cluster_down || return; }
