#!/usr/bin/env bash
# Install the Debian packages Vellora needs to build, test and run its demo, on Debian 12
# (bookworm) or Debian 13 (trixie). Idempotent: only packages that are missing are installed;
# sudo only when not root.
set -euo pipefail

packages=(
  # toolchain; clang and its sanitizer and libFuzzer runtime for the fuzz targets
  cmake ninja-build g++ pkg-config clang-format clang-tidy git clang libclang-rt-dev
  # libraries
  qt6-base-dev qt6-base-dev-tools libqt6svg6 qt6-image-formats-plugins
  libpulse-dev libglib2.0-dev
  libxcb1-dev libxcb-ewmh-dev libxcb-xinput-dev libxcb-res0-dev libx11-xcb-dev libxkbcommon-dev
  # the throwaway desktop: X server, window manager, trays (XEmbed's trayer, and xfce4-panel for
  # StatusNotifierItems), session bus, audio (PulseAudio, or PipeWire's server on request)
  xvfb openbox trayer xfce4-panel dbus dbus-x11 pulseaudio pulseaudio-utils
  pipewire wireplumber pipewire-pulse
  xdotool xterm x11-utils imagemagick
  # the Wayland desktops Vellora follows, headless: sway, KWin, GNOME Shell; Qt's Wayland
  # platform, and a linter for the scripts that run inside the compositors
  sway kwin-wayland gnome-shell qt6-wayland eslint
  fonts-dejavu-core fonts-noto-color-emoji adwaita-icon-theme hicolor-icon-theme
  # installing and packaging: the Debian package's dependencies, desktop-entry checks,
  # process namespaces for the launcher tests, reading back the acknowledgements PDF
  # (pdftotext, pdffonts); cpack reads the libraries' architecture with file(1)
  dpkg-dev file desktop-file-utils util-linux mount poppler-utils
  # the suite's second run, in a Debian root of the other supported release
  debootstrap rsync
)

# Names that differ between releases. Qt 6.8 (trixie) moved the SVG image plug-in, which renders
# the icons at build time, out of libqt6svg6.
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
if [ "$codename" != bookworm ]; then packages+=(qt6-svg-plugins); fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=()
if [ "$(id -u)" -ne 0 ]; then SUDO=(sudo); fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -q
"${SUDO[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
