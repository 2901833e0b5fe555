#!/usr/bin/env bash
# Starts the staged installer under Wine in the project's private prefix.
# With a display the dialog simply opens for the user. Without one, the end-to-end driver runs it
# on a display of its own as a user would: it saves the dialog as it opened, presses Enter
# (Install is the default button), saves the dialog as it looked at the end of the run, just
# before it closed, and the installed tree is printed from the prefix once the program has ended.
# Screenshots: build/screenshots/dialog-start.png and dialog-end.png.
# Usage: demo.sh DIST_DIR
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dist=$(cd "$1" && pwd)
run=$root/scripts/wine-run.sh

if [ -n "${DISPLAY:-}" ]; then
  exec "$run" "$dist/setup.exe"
fi

code=0
python3 "$root/tests/e2e/scenarios.py" demo --source-dir "$root" \
  --driver-dir "$root/build/x86_64/tests/e2e" --setup "$dist/setup.exe" --sample-dist "$dist" ||
  code=$?
"$root/scripts/show-installed.sh"
"$run" --stop
exit $code
