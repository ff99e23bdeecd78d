#!/usr/bin/env bash
# A throwaway desktop session for tests and the demo: Xvfb, openbox, a tray (trayer), a private
# D-Bus session bus and a PulseAudio server with a null sink on a private socket, all with
# temporary HOME and XDG folders and the fixture desktop entries.
# With VELLORA_TRAY=sni in the environment of "start", the tray is a panel that hosts
# StatusNotifierItems (xfce4-panel with only its status tray, at the top left) instead of
# trayer's XEmbed tray, as on KDE, Xfce or GNOME with an AppIndicator extension.
# With VELLORA_AUDIO=pipewire in the environment of "start", PipeWire's PulseAudio server
# (pipewire, wireplumber and pipewire-pulse, headless) serves the same socket instead.
# With VELLORA_FLAT_VOLUMES=yes in the environment of "start", PulseAudio runs with flat volumes
# on (each output's volume follows its loudest stream); PipeWire's server has none.
#
#   desktop-session.sh start DIR        start everything; DIR/env holds what clients export
#   desktop-session.sh stop DIR         stop everything started, by process id
#   desktop-session.sh pulse-stop DIR   stop only the audio server (tests of its loss); the
#                                       process serving the socket is "pulse" in DIR/pids
#   desktop-session.sh pulse-start DIR  start the audio server again
#   desktop-session.sh pulse-start-bare DIR  start it again without any output at first
#   desktop-session.sh tray-stop DIR    stop only the tray (a session whose panel comes late)
#   desktop-session.sh tray-start DIR   start the tray, unless it runs already
#
# With VELLORA_COMPOSITOR=sway|kwin|gnome in the environment of "start", a headless Wayland
# compositor takes the place of the X server, window manager and tray. Compositors refuse to
# run as root: run the session as an unprivileged user (with-desktop.sh does).
#   desktop-session.sh compositor-stop DIR   stop only the compositor (tests of a restart)
#   desktop-session.sh compositor-start DIR  start it again, on the same sockets
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
usage='usage: desktop-session.sh start|stop|pulse-stop|pulse-start[-bare]|tray-stop|tray-start DIR'
cmd=${1:?$usage}
dir=${2:?$usage}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

log() { printf 'desktop: %s\n' "$*" >&2; }

# Waits (bounded) until a command succeeds.
wait_until() {
  local what=$1 tries=$2; shift 2
  for ((n = 0; n < tries; n++)); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.05
  done
  log "timed out waiting for $what"
  return 1
}

remember() { echo "$1 $2" >>"$dir/pids"; }

pid_of() { awk -v n="$1" '$1 == n { p = $2 } END { print p }' "$dir/pids" 2>/dev/null; }

# Whether a process still runs (an exited child nobody has reaped yet does not).
alive() {
  local state
  state=$(awk '{ print $3 }' "/proc/$1/stat" 2>/dev/null) || return 1
  [ -n "$state" ] && [ "$state" != Z ] && [ "$state" != X ]
}

stop_pid() {
  local pid=$1
  [ -n "$pid" ] || return 0
  kill "$pid" 2>/dev/null || return 0
  for ((n = 0; n < 100; n++)); do
    alive "$pid" || return 0
    sleep 0.02
  done
  kill -9 "$pid" 2>/dev/null || true
}

# Makes a sink the default output, and checks the server took it.
default_sink() {
  pactl set-default-sink "$1" && [ "$(pactl get-default-sink)" = "$1" ]
}

start_pipewire() {
  local conf=$XDG_CONFIG_HOME
  if ! command -v pipewire-pulse >/dev/null; then
    log "PipeWire is not installed: run scripts/install-deps.sh"
    return 1
  fi
  mkdir -p "$conf/pipewire/pipewire-pulse.conf.d" "$conf"/wireplumber/{main,bluetooth}.lua.d \
    "$conf/wireplumber/wireplumber.conf.d"
  echo "pulse.properties = { server.address = [ \"unix:$dir/pulse/native\" ] }" \
    >"$conf/pipewire/pipewire-pulse.conf.d/vellora.conf"
  # Headless: no sound card, camera or Bluetooth device of the machine joins the session. Said
  # in WirePlumber 0.4's Lua and in 0.5's own format; each reads only its own.
  printf '%s_monitor.enabled = false\n' alsa v4l2 libcamera \
    >"$conf/wireplumber/main.lua.d/60-vellora-headless.lua"
  echo 'bluez_monitor.enabled = false' >"$conf/wireplumber/bluetooth.lua.d/60-vellora-headless.lua"
  printf 'wireplumber.profiles = {\n  main = {\n%s  }\n}\n' \
    "$(printf '    monitor.%s = disabled\n' alsa alsa-midi v4l2 libcamera bluez bluez-midi)" \
    >"$conf/wireplumber/wireplumber.conf.d/60-vellora-headless.conf"

  rm -f "$XDG_RUNTIME_DIR/pipewire-0" # what a server that was killed may leave behind
  pipewire >>"$dir/pulse/log" 2>&1 &
  remember pipewire $!
  wait_until pipewire 200 test -S "$XDG_RUNTIME_DIR/pipewire-0"
  wireplumber >>"$dir/pulse/log" 2>&1 &
  remember wireplumber $!
  pipewire-pulse >>"$dir/pulse/log" 2>&1 &
  remember pulse $!
  wait_until pipewire-pulse 200 pactl info
  # PipeWire 1.4 shows a sink that has never run at 100 % and holds back the volumes set on it
  # until it runs. Tests read the volume from the server, so the session's sink runs always, as
  # if it had played (the fault tests try one that never ran).
  [ -z "${bare:-}" ] || return 0
  pactl load-module module-null-sink sink_name=vellora_null \
    "sink_properties='device.description=Vellora_Null node.always-process=true'" >/dev/null
  # The session manager keeps the default output: it takes the choice once it runs.
  wait_until "the default sink" 200 default_sink vellora_null
}

start_pulse() {
  # shellcheck disable=SC1091
  source "$dir/env"
  mkdir -p "$dir/pulse"
  if [ "${VELLORA_AUDIO:-}" = pipewire ]; then
    start_pipewire
    return
  fi
  # The system's settings, with flat volumes on: read by this server alone.
  local settings=()
  if [ "${VELLORA_FLAT_VOLUMES:-no}" = yes ]; then
    { cat /etc/pulse/daemon.conf 2>/dev/null || true; echo 'flat-volumes = yes'; } \
      >"$dir/pulse/daemon.conf"
    settings=(env PULSE_CONFIG="$dir/pulse/daemon.conf")
  fi
  local script=default
  if [ -n "${bare:-}" ]; then
    script=bare
    echo "load-module module-native-protocol-unix socket=$dir/pulse/native auth-anonymous=1" \
      >"$dir/pulse/bare.pa"
  fi
  cat >"$dir/pulse/default.pa" <<PA
load-module module-null-sink sink_name=vellora_null sink_properties=device.description=Vellora_Null
load-module module-native-protocol-unix socket=$dir/pulse/native auth-anonymous=1
set-default-sink vellora_null
PA
  # --daemonize returns once the server is ready, so no waiting is needed afterwards.
  "${settings[@]}" pulseaudio --daemonize=yes -n -F "$dir/pulse/$script.pa" --exit-idle-time=-1 \
    --use-pid-file=yes --disallow-module-loading=no --log-target=file:"$dir/pulse/log" \
    2>>"$dir/pulse/log"
  remember pulse "$(cat "$XDG_RUNTIME_DIR/pulse/pid")"
}

stop_pulse() {
  local name
  for name in pulse wireplumber pipewire; do
    stop_pid "$(pid_of $name)"
    sed -i "/^$name /d" "$dir/pids"
  done
}

start_tray() {
  # shellcheck disable=SC1091
  source "$dir/env"
  local pid
  pid=$(pid_of tray)
  if [ -n "$pid" ] && alive "$pid"; then return 0; fi
  sed -i '/^tray /d' "$dir/pids"
  if [ "${VELLORA_TRAY:-}" = sni ]; then
    cp -r "$here/fixtures/config/xfce4" "$XDG_CONFIG_HOME/"
    xfce4-panel --disable-wm-check >>"$dir/tray.log" 2>&1 &
    remember tray $!
    wait_until "the status tray" 200 gdbus call --session --dest org.kde.StatusNotifierWatcher \
      --object-path /StatusNotifierWatcher --method org.freedesktop.DBus.Peer.Ping
    return
  fi
  trayer --edge top --align right --widthtype request --height 32 --SetDockType true \
    --expand true --transparent false >>"$dir/tray.log" 2>&1 &
  remember tray $!
  wait_until trayer 200 xdotool search --classname trayer
}

stop_tray() {
  stop_pid "$(pid_of tray)"
  sed -i '/^tray /d' "$dir/pids"
}

start_compositor() {
  # shellcheck disable=SC1091
  source "$dir/env"
  case $VELLORA_COMPOSITOR in
    sway)
      printf 'xwayland disable\ndefault_border none\n' >"$dir/sway.conf"
      WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
        sway -c "$dir/sway.conf" >>"$dir/compositor.log" 2>&1 &
      remember compositor $!
      wait_until sway 200 swaymsg -t get_version
      # sway names its Wayland socket itself: the first free one.
      local name
      name=$(find "$XDG_RUNTIME_DIR" -maxdepth 1 -type s -name 'wayland-*' -printf '%f\n' | head -1)
      sed -i "s/^export WAYLAND_DISPLAY=.*/export WAYLAND_DISPLAY=$name/" "$dir/env"
      export WAYLAND_DISPLAY=$name
      ;;
    kwin)
      # A copy without the file capabilities the packaged one carries, which an unprivileged
      # process in a container may not take on.
      cp "$(command -v kwin_wayland)" "$dir/kwin_wayland"
      "$dir/kwin_wayland" --virtual --socket "$WAYLAND_DISPLAY" --width 1280 --height 800 \
        --no-lockscreen --no-global-shortcuts >>"$dir/compositor.log" 2>&1 &
      remember compositor $!
      wait_until kwin 400 qdbus_has org.kde.KWin
      ;;
    gnome)
      gnome-shell --headless --wayland --no-x11 --wayland-display "$WAYLAND_DISPLAY" \
        --virtual-monitor 1280x800 >>"$dir/compositor.log" 2>&1 &
      remember compositor $!
      wait_until gnome-shell 600 gdbus call --session --dest org.gnome.Shell \
        --object-path /org/gnome/Shell --method org.gnome.Shell.Extensions.ListExtensions
      # The shell opens the overview once its start-up animation ends, and new windows do not
      # take the focus there: a person waits for it and leaves it first.
      wait_until "the start-up overview" 100 overview_is true || true
      wait_until "the overview to stay closed" 20 overview_stays_left
      ;;
  esac
  wait_until "the Wayland socket" 200 test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY"
}

# Whether a name is owned on the session bus.
qdbus_has() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
    org.freedesktop.DBus.NameHasOwner "string:$1" | grep -q 'boolean true'
}

overview_is() {
  gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
    --method org.freedesktop.DBus.Properties.Get org.gnome.Shell OverviewActive | grep -q "$1"
}

# Left, and still left a moment later: while starting up the shell may open it again.
overview_stays_left() {
  leave_overview && sleep 1 && overview_is false
}

leave_overview() {
  local shell=(--session --dest org.gnome.Shell --object-path /org/gnome/Shell)
  gdbus call "${shell[@]}" --method org.freedesktop.DBus.Properties.Set org.gnome.Shell \
    OverviewActive '<false>' &&
    gdbus call "${shell[@]}" --method org.freedesktop.DBus.Properties.Get org.gnome.Shell \
      OverviewActive | grep -q false
}

stop_compositor() {
  stop_pid "$(pid_of compositor)"
  sed -i '/^compositor /d' "$dir/pids"
}

# The environment every client of the session exports, whatever its display: throwaway HOME
# and XDG folders, the session's audio server.
write_env() {
  cat >"$dir/env" <<ENV
export HOME=$dir/home
export XDG_CONFIG_HOME=$dir/config
export XDG_DATA_HOME=$dir/data
export XDG_CACHE_HOME=$dir/cache
export XDG_STATE_HOME=$dir/state
export XDG_RUNTIME_DIR=$dir/run
export XDG_DATA_DIRS=/usr/local/share:/usr/share
export PULSE_SERVER=unix:$dir/pulse/native
export VELLORA_DESKTOP_DIR=$dir
export VELLORA_AUDIO=$1
export VELLORA_FLAT_VOLUMES=${VELLORA_FLAT_VOLUMES:-no}
ENV
}

# A private bus of the session's, exported as VARIABLE; it forks only once it listens.
start_bus() {
  local name=$1 variable=$2 bus
  bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1 \
    --address="unix:path=$dir/run/$name")
  remember "$name" "$(sed -n 2p <<<"$bus")"
  echo "export $variable=$(sed -n 1p <<<"$bus")" >>"$dir/env"
}

# A headless Wayland session in place of the X one.
start_wayland() {
  local c=$VELLORA_COMPOSITOR desktop
  case $c in
    sway) desktop=sway ;;
    kwin) desktop=KDE ;;
    gnome) desktop=GNOME ;;
    *) log "VELLORA_COMPOSITOR must be sway, kwin or gnome, not $c"; return 2 ;;
  esac
  if [ "$(id -u)" -eq 0 ]; then log "compositors do not run as root"; return 2; fi
  write_env pulseaudio
  cat >>"$dir/env" <<ENV
export VELLORA_COMPOSITOR=$c
export WAYLAND_DISPLAY=wayland-vellora
export XDG_SESSION_TYPE=wayland
export XDG_CURRENT_DESKTOP=$desktop
unset DISPLAY SWAYSOCK I3SOCK
ENV
  [ "$c" = sway ] && echo "export SWAYSOCK=$dir/run/sway-ipc.sock" >>"$dir/env"
  # shellcheck disable=SC1091
  source "$dir/env"
  start_bus bus DBUS_SESSION_BUS_ADDRESS
  if [ "$c" = gnome ]; then
    # GNOME Shell asks the system bus for the login manager: a private one stands in for it.
    start_bus system-bus DBUS_SYSTEM_BUS_ADDRESS
    # Vellora's extension, installed for this user as `cmake --install` does for all.
    mkdir -p "$dir/data/gnome-shell/extensions"
    cp -r "$here"/../src/platform/wayland/gnome-shell/* "$dir/data/gnome-shell/extensions/"
  fi
  start_compositor
  start_pulse
  log "ready on $WAYLAND_DISPLAY ($c, $dir)"
}

start() {
  local audio=${VELLORA_AUDIO:-pulseaudio}
  case $audio in
    pulseaudio | pipewire) ;;
    *) log "VELLORA_AUDIO must be pulseaudio or pipewire, not $audio"; return 2 ;;
  esac
  case ${VELLORA_FLAT_VOLUMES:-no} in
    yes | no) ;;
    *) log "VELLORA_FLAT_VOLUMES must be yes or no, not $VELLORA_FLAT_VOLUMES"; return 2 ;;
  esac
  if [ "$audio" = pipewire ] && [ "${VELLORA_FLAT_VOLUMES:-no}" = yes ]; then
    log "PipeWire's server has no flat volumes: VELLORA_FLAT_VOLUMES=yes changes nothing"
  fi
  : >"$dir/pids"
  mkdir -p "$dir"/{home,config,data/applications,cache,state}
  mkdir -p -m 700 "$dir/run"
  cp "$here"/fixtures/applications/*.desktop "$dir/data/applications/"
  cp "$here"/fixtures/config/mimeapps.list "$dir/config/"
  # The fixtures' own icons: not every release's icon theme has a full-colour one for each.
  cp -r "$here"/fixtures/icons "$dir/data/"
  if [ -n "${VELLORA_COMPOSITOR:-}" ]; then
    start_wayland
    return
  fi

  # Xvfb writes its display number to the descriptor once it accepts connections. Sessions in
  # mount namespaces of their own (with-desktop.sh) each see their own socket files, but the
  # abstract sockets X clients try first are shared by all: a session listens on its socket file
  # only, on a display picked at random, so that its clients never reach another session's
  # server that does listen there (a desktop of the machine, an older run).
  local display="" tries=0
  while [ -z "$display" ] && ((tries++ < 20)); do
    local pick=$((RANDOM % 900 + 100))
    [ ! -e "/tmp/.X11-unix/X$pick" ] || continue
    ! grep -q "@/tmp/.X11-unix/X$pick\$" /proc/net/unix 2>/dev/null || continue
    rm -f "$dir/displayfd" && mkfifo "$dir/displayfd"
    Xvfb ":$pick" -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -nolisten local \
      3>"$dir/displayfd" >>"$dir/xvfb.log" 2>&1 &
    local xvfb=$!
    if read -r -t 15 display <"$dir/displayfd"; then
      remember xvfb $xvfb
    else
      display="" # taken meanwhile: it has left, or is told to
      kill "$xvfb" 2>/dev/null || true
    fi
  done
  rm -f "$dir/displayfd"
  [ -n "$display" ] || { log "Xvfb did not start"; return 1; }

  write_env "$audio"
  cat >>"$dir/env" <<ENV
export DISPLAY=:$display VELLORA_TRAY=${VELLORA_TRAY:-xembed}
unset WAYLAND_DISPLAY XDG_SESSION_TYPE XDG_CURRENT_DESKTOP
ENV
  # shellcheck disable=SC1091
  source "$dir/env"

  start_bus bus DBUS_SESSION_BUS_ADDRESS

  openbox --sm-disable --startup "touch $dir/openbox.ready" >"$dir/openbox.log" 2>&1 &
  remember openbox $!
  wait_until openbox 200 test -e "$dir/openbox.ready"

  start_tray
  start_pulse
  log "ready on :$display ($dir)"
}

stop() {
  [ -f "$dir/pids" ] || return 0
  # Stop in reverse order of starting.
  tac "$dir/pids" | while read -r _ pid; do stop_pid "$pid"; done
  : >"$dir/pids"
}

case $cmd in
  start) start ;;
  stop) stop ;;
  pulse-stop) stop_pulse ;;
  pulse-start) start_pulse ;;
  pulse-start-bare) bare=1 start_pulse ;;
  tray-stop) stop_tray ;;
  tray-start) start_tray ;;
  compositor-stop) stop_compositor ;;
  compositor-start) start_compositor ;;
  *) log "unknown command $cmd"; exit 2 ;;
esac
