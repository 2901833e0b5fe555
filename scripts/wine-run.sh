#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's private prefix (build/wineprefix, never the
# user's own), creating the prefix on first use and providing an Xvfb display when none is set.
#   wine-run.sh PROGRAM [ARGS...]   run a program (also CTest's emulator for the test programs)
#   wine-run.sh --setup             create the prefix and start the shared display and wineserver
#   wine-run.sh --stop              stop the prefix's wineserver and the shared display
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${ZELNAR_BUILD_ROOT:-$root/build}
export WINEPREFIX=${ZELNAR_WINEPREFIX:-$build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko: the installer needs neither, and fetching them would hang offline. No menu
# builder either: it would mirror every shell link the tests save as a launcher in the user's home.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml,winemenubuilder.exe=}
export WINEARCH=win64
display_file=$build/xvfb.display
pid_file=$build/xvfb.pid

mkdir -p "$build"

# Settings that keep tests fast and honest: no window manager wait under Xvfb, no crash dialog,
# and the Windows 95 family reported to the programs that test that branch.
configure_prefix() {
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  for exe in ${ZELNAR_WIN98_PROGRAMS:-win9x_tests.exe setup95.exe}; do
    wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$exe" /v Version /d win98 /f >/dev/null 2>&1
  done
  # The user's shell folders (Desktop, Documents, ...) start as links into the Unix home; make them
  # folders of the prefix, so that links saved on the user's desktop stay inside build/.
  local link
  for link in "$WINEPREFIX"/drive_c/users/*/*; do
    if [ -L "$link" ]; then
      rm -f "$link" && mkdir -p "$link"
    fi
  done
}

ensure_prefix() {
  [ -f "$WINEPREFIX/.zelnar-ready" ] && return 0
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.zelnar-ready" ]; then
      wineboot -i >/dev/null 2>&1
      configure_prefix
      wineserver -w
      touch "$WINEPREFIX/.zelnar-ready"
    fi
  ) 9>"$build/wineprefix.lock"
}

display_alive() {
  [ -f "$pid_file" ] && [ -f "$display_file" ] && kill -0 "$(cat "$pid_file")" 2>/dev/null
}

# Starts one Xvfb for the whole build tree, shared by every program run without a display.
ensure_display() {
  [ -n "${DISPLAY:-}" ] && return 0
  (
    flock 9
    if ! display_alive; then
      rm -f "$display_file"
      setsid Xvfb -displayfd 8 -screen 0 1280x1024x24 -nolisten tcp 8>"$display_file" 9>&- \
        >/dev/null 2>&1 </dev/null &
      echo $! >"$pid_file"
      for _ in $(seq 1 100); do
        [ -s "$display_file" ] && break
        sleep 0.05
      done
    fi
  ) 9>"$build/xvfb.lock"
  export DISPLAY=":$(tr -d '[:space:]' <"$display_file")"
}

# Starts the prefix's own processes (services, explorer) detached from the caller's output, so
# that they never hold a test's output open after the test program has ended.
start_session() {
  wineboot >/dev/null 2>&1 </dev/null
}

stop_all() {
  wineserver -k >/dev/null 2>&1
  if display_alive; then
    kill "$(cat "$pid_file")" 2>/dev/null
  fi
  rm -f "$pid_file" "$display_file"
}

case "${1:-}" in
  --setup)
    ensure_display
    ensure_prefix
    wineserver -p >/dev/null 2>&1 </dev/null
    start_session
    ;;
  --stop)
    stop_all
    ;;
  --display)
    ensure_display
    echo "$DISPLAY"
    ;;
  "")
    echo "usage: wine-run.sh PROGRAM [ARGS...] | --setup | --stop | --display" >&2
    exit 2
    ;;
  *)
    ensure_display
    ensure_prefix
    start_session
    exec wine "$@"
    ;;
esac
