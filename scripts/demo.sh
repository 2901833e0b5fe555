#!/usr/bin/env bash
# Starts the staged installer under Wine in the project's private prefix.
# With a display the dialog simply opens for the user. Without one it runs under Xvfb: the dialog
# is saved as a screenshot, Enter is pressed as a user would (Install is the default button), and
# when the program has ended the installed tree is printed from the prefix.
# Usage: demo.sh DIST_DIR
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dist=$(cd "$1" && pwd)
run=$root/scripts/wine-run.sh
shots=$root/build/screenshots

if [ -n "${DISPLAY:-}" ]; then
  exec "$run" "$dist/setup.exe"
fi

export DISPLAY=$("$run" --display)
mkdir -p "$shots"
"$run" "$dist/setup.exe" &
setup=$!

window=
for _ in $(seq 1 200); do
  window=$(xdotool search --name '^Zelnar Installer$' 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "demo: the installer dialog did not appear" >&2
  kill "$setup" 2>/dev/null || true
  exit 1
fi
sleep 0.5 # let the first paint finish
import -window "$window" "$shots/dialog-start.png"
echo "demo: screenshot of the dialog as it opened: $shots/dialog-start.png"

xdotool windowactivate --sync "$window" >/dev/null 2>&1 || xdotool windowfocus "$window" || true
xdotool key Return
code=0
wait "$setup" || code=$?
echo "demo: Install pressed with Enter; setup.exe ended with exit code $code"
"$root/scripts/show-installed.sh"
"$run" --stop
