#!/usr/bin/env bash
# Prints the Debian mirror to make a root from: VELLORA_DEBIAN_MIRROR, else the one this machine's
# own release comes from (deb822 or one-line sources), else Debian's.
set -uo pipefail
host=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
mirror=${VELLORA_DEBIAN_MIRROR:-$(awk -v host="$host" '
  /^URIs:/ { uris = $2 } /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == host) found = uris }
  /^deb / { sub(/\[[^]]*\] */, ""); if ($3 == host) found = $2 }
  found != "" { print found; exit }' /etc/apt/sources.list.d/*.sources /etc/apt/sources.list \
  2>/dev/null)}
mirror=${mirror:-http://deb.debian.org/debian}
echo "${mirror%/}"
