#!/usr/bin/env bash
# Peak resident memory of kelvane on its simulated receiver with bad files under every name it
# reads from its working folder (default.mem, scratch.log, Noise.txt, import.cnf): a pipe, a
# folder, a link to /dev/zero and a 1 GB sparse file, against the same program in an empty
# folder. Prints figures (goal: within 50 MB of the empty folder's); never fails on them.
# Usage: bench/kelvane_badfiles.sh [path/to/kelvane]
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$(realpath "${1:-build/app/kelvane}")
[ -x "$bin" ] || { echo "build $bin first (cmake --build build --target kelvane)"; exit 1; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package time)"; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export QT_QPA_PLATFORM=offscreen
quit_ms=${QUIT_MS:-4000}

# Peak resident memory in kB of one run in folder $1 (the program quits after $quit_ms ms;
# a run that has not ended after 60 s counts as hung).
peak() {
  (cd "$1" && timeout 60 /usr/bin/time -f %M "$bin" --simulate --settings "$1/s.reg" \
     --quit-after "$quit_ms" 2>&1 >/dev/null | tail -1) || echo hung
}

mkdir "$tmp/empty"
idle=$(peak "$tmp/empty")
echo "empty folder: peak resident memory $((idle / 1024)) MB"
for kind in fifo folder device huge; do
  d="$tmp/$kind"
  mkdir "$d"
  for name in default.mem scratch.log Noise.txt import.cnf; do
    case $kind in
      fifo) mkfifo "$d/$name" ;;
      folder) mkdir "$d/$name" ;;
      device) ln -s /dev/zero "$d/$name" ;;
      huge) truncate -s 1G "$d/$name" ;;
    esac
  done
  kb=$(peak "$d")
  if [ "$kb" = hung ]; then
    echo "$kind: did not quit within 60 s"
  else
    echo "$kind: peak resident memory $((kb / 1024)) MB, $(((kb - idle) / 1024)) MB above the empty folder (goal <= 50 MB)"
  fi
done
