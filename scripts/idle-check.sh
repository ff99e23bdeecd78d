#!/usr/bin/env bash
# Counts how often an idle Vellora wakes up: starts it in the throwaway desktop (run through
# with-desktop.sh), lets start-up finish, then sums the context switches of all its threads
# over a quiet period. An idle program with no timer or polling loop shows none.
#   with-desktop.sh bash scripts/idle-check.sh PROGRAM [SECONDS]
set -euo pipefail
program=${1:?usage: idle-check.sh PROGRAM [SECONDS]}
seconds=${2:-10}
log=$(mktemp)
"$program" >"$log" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null; rm -f "$log"' EXIT
for ((n = 0; n < 100; n++)); do
  [ "$(grep -c '^update' "$log" || true)" -ge 2 ] && break
  sleep 0.1
done
sleep 2 # let the menu's first build and the first paint pass

switches() {
  local total=0 task v nv
  for task in /proc/"$pid"/task/*; do
    v=$(awk '/^voluntary_ctxt_switches/ { print $2 }' "$task/status")
    nv=$(awk '/^nonvoluntary_ctxt_switches/ { print $2 }' "$task/status")
    total=$((total + v + nv))
  done
  echo "$total"
}
threads=$(ls /proc/"$pid"/task | wc -l)
before=$(switches)
sleep "$seconds"
after=$(switches)
echo "idle Vellora: $threads threads, $((after - before)) wake-ups in ${seconds} s"
