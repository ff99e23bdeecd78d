#!/usr/bin/env bash
# A short scripted demo of Vellora inside the throwaway desktop (run through with-desktop.sh):
# open the list from the tray, give Alpha a level, and switch between windows while the
# master volume follows. Screenshots and Vellora's output go to OUT.
#   demo.sh PROGRAM OUT
set -euo pipefail
program=${1:?usage: demo.sh PROGRAM OUT}
out=${2:?usage: demo.sh PROGRAM OUT}
mkdir -p "$out"

step() { printf '\n== %s\n' "$*"; }
sink() { pactl get-sink-volume @DEFAULT_SINK@ | grep -o '[0-9]*%' | head -1; }
# Waits (bounded) until a command succeeds.
wait_for() {
  local what=$1; shift
  for ((n = 0; n < 100; n++)); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "demo: gave up waiting for $what" >&2
  return 1
}
window_of_size() { # prints the id of a visible "Vellora" window of the given size
  local id
  for id in $(xdotool search --onlyvisible --name '^Vellora$' 2>/dev/null); do
    if xdotool getwindowgeometry "$id" | grep -q "Geometry: $1"; then echo "$id"; return 0; fi
  done
  return 1
}
shot() { import -window root "$out/$1"; echo "   screenshot: $out/$1"; }

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT

step "Starting two applications, Alpha and Beta (xterm windows)"
xterm -class Alpha -T Alpha & pids+=($!)
xterm -class Beta -T Beta & pids+=($!)
wait_for "Alpha's window" xdotool search --class '^Alpha$'
wait_for "Beta's window" xdotool search --class '^Beta$'
pactl set-sink-volume @DEFAULT_SINK@ 40%
echo "   master volume: $(sink)"

step "Starting Vellora"
"$program" >"$out/vellora.log" 2>&1 & pids+=($!)
wait_for "Vellora's start-up" grep -c '^update' "$out/vellora.log"
wait_for "the tray icon" xdotool search --classname '^panel$'
panel=$(xdotool search --classname '^panel$' | head -1)
eval "$(xdotool getwindowgeometry --shell "$panel")"
tray_x=$((X + WIDTH / 2)); tray_y=$((Y + HEIGHT / 2))

step "Clicking the tray icon: the list of applications opens"
xdotool mousemove "$tray_x" "$tray_y" click 1
wait_for "the list" window_of_size 380x430
sleep 0.3
shot demo-1-list.png

step "Searching for Alpha and opening its editor"
popover=$(window_of_size 380x430)
eval "$(xdotool getwindowgeometry --shell "$popover")"
xdotool type --delay 40 Alph
sleep 0.3
xdotool mousemove $((X + 100)) $((Y + 133)) click 1
wait_for "the editor" window_of_size 220x70
step "Setting Alpha's level to 60 with the slider"
xdotool key Right Right Right Right Right Right
wait_for "the stored level" grep -q '60/\*/\*/\*/\*/Alpha' "$out/vellora.log"
shot demo-2-editor.png
xdotool mousemove 60 700 click 1
sleep 0.5

step "Activating Beta, then setting the master volume to 40%"
xdotool windowactivate --sync "$(xdotool search --class '^Beta$' | head -1)" 2>/dev/null
sleep 0.3
pactl set-sink-volume @DEFAULT_SINK@ 40%
echo "   master volume: $(sink)"

step "Activating Alpha: the master volume follows"
xdotool windowactivate --sync "$(xdotool search --class '^Alpha$' | head -1)" 2>/dev/null
wait_for "level 60" sh -c "pactl get-sink-volume @DEFAULT_SINK@ | grep -q ' 60%'"
echo "   master volume: $(sink)"
shot demo-3-alpha.png

step "Activating Beta (no level): the volume from before comes back"
xdotool windowactivate --sync "$(xdotool search --class '^Beta$' | head -1)" 2>/dev/null
wait_for "level 40" sh -c "pactl get-sink-volume @DEFAULT_SINK@ | grep -q ' 40%'"
echo "   master volume: $(sink)"

step "Done. Screenshots and Vellora's output are in $out"
