#!/usr/bin/env bash
# Whole-program figures for kelvane on its built-in simulated receiver (offscreen platform):
#   - start-up: process start to window shown, and window shown to connected (the handshake's
#     two 200 ms waits), over several runs;
#   - CPU and wake-ups while connected and idle (polling every 100 ms), over 20 s;
#   - peak resident memory.
# Prints figures; never fails on them. Usage: bench/kelvane_startup.sh [path/to/kelvane]
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${1:-build/app/kelvane}
[ -x "$bin" ] || { echo "build $bin first (cmake --build build --target kelvane)"; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export QT_QPA_PLATFORM=offscreen
runs=${RUNS:-7}

now_ms() { date +%s%3N; }

echo "== start-up ($runs runs)"
shown=()
connected=()
for i in $(seq "$runs"); do
  start=$(now_ms)
  out=$(cd "$tmp" && KELVANE_TIMING=1 "$OLDPWD/$bin" --simulate --settings "$tmp/s.reg" \
        --quit-after 1500 2>/dev/null)
  s=$(awk '/^KELVANE_SHOWN/ {print $2; exit}' <<<"$out")
  c=$(awk '/^KELVANE_CONNECTED/ {print $2; exit}' <<<"$out")
  shown+=($((s - start)))
  connected+=($((c - s)))
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
minimum() { printf '%s\n' "$@" | sort -n | head -1; }
echo "process start -> window shown:   median $(median "${shown[@]}") ms, min $(minimum "${shown[@]}") ms (goal <= 300 ms)"
echo "window shown -> connected:       median $(median "${connected[@]}") ms (two 200 ms handshake waits included)"

# CPU time of every thread of process $1 in nanoseconds (the scheduler's own count, finer
# than the clock ticks of /proc/PID/stat).
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{s += $1} END {print s + 0}'; }
# Voluntary context switches of process $1: each one a sleep, so a wake-up, of the program.
switches() {
  cat /proc/"$1"/task/*/status 2>/dev/null | awk '/^voluntary_ctxt_switches/ {s += $2} END {print s + 0}'
}
# CPU of process $1 over $IDLE_SECONDS (default 20 s) once connected, its wake-ups and its peak
# resident memory; $2 says what runs, $3 the CPU goal.
idle() {
  local pid=$1 t0 t1 s0 s1 w0 w1 hwm secs=${IDLE_SECONDS:-20}
  sleep 2.5
  t0=$(cpu_ns "$pid")
  w0=$(switches "$pid")
  s0=$(date +%s%N)
  sleep "$secs"
  t1=$(cpu_ns "$pid")
  w1=$(switches "$pid")
  s1=$(date +%s%N)
  hwm=$(awk '/^VmHWM/ {print $2}' "/proc/$pid/status")
  awk -v d=$((t1 - t0)) -v ns=$((s1 - s0)) -v w=$((w1 - w0)) -v kb="$hwm" -v what="$2" -v goal="$3" \
    'BEGIN {printf "%s: CPU %.2f %% of one core (%s), %.0f wake-ups/s, peak resident memory %.1f MB (goal <= 80 MB)\n", what, 100 * d / ns, goal, w / (ns / 1e9), kb / 1024}'
}

idle_quit_ms=$(((${IDLE_SECONDS:-20} + 4) * 1000))
echo "== idle while connected, polling every 100 ms (${IDLE_SECONDS:-20} s)"
(cd "$tmp" && exec "$OLDPWD/$bin" --simulate --settings "$tmp/s.reg" --quit-after "$idle_quit_ms" \
   >/dev/null 2>&1) &
pid=$!
idle "$pid" "--simulate (receiver simulated in the same process, paced byte by byte)" \
  "no goal: the simulator's pacing is in it"
wait "$pid" || true

sim=$(dirname "$bin")/../sim/nrd535-sim
if [ -x "$sim" ]; then
  "$sim" --link "$tmp/rx" >/dev/null 2>&1 &
  simpid=$!
  for _ in $(seq 50); do [ -e "$tmp/rx" ] && break; sleep 0.1; done
  printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Dunmore Software\\Kelvane]\r\n"COM_Port"=dword:00000001\r\n' \
    >"$tmp/p.reg"
  (cd "$tmp" && exec "$OLDPWD/$bin" --port 1="$tmp/rx" --settings "$tmp/p.reg" --quit-after "$idle_quit_ms" \
     >/dev/null 2>&1) &
  pid=$!
  idle "$pid" "kelvane alone (simulator in its own process)" "goal <= 0.5 %"
  wait "$pid" || true
  kill "$simpid" 2>/dev/null || true
  wait "$simpid" 2>/dev/null || true
fi
