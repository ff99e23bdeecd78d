#!/usr/bin/env bash
# Lints the scripts Vellora hands to the compositors (the KWin script, the GNOME Shell
# extensions): they run inside another program, where a mistake shows only as silence.
set -euo pipefail
cd "$(dirname "$0")/../src/platform/wayland"
mapfile -t files < <(find . -name '*.js' | sort)
# Debian's eslint finds its modules where Debian keeps them, whichever node runs it.
NODE_PATH=/usr/share/nodejs:/usr/lib/nodejs${NODE_PATH:+:$NODE_PATH} eslint -f unix --no-eslintrc -c .eslintrc.json "${files[@]}"
for f in $(find . -name metadata.json); do python3 -m json.tool "$f" >/dev/null; done
echo "Compositor scripts: ${#files[@]} files clean"
