#!/usr/bin/env bash
# The file list's parsing core built natively with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer (in build/host-fuzz), its fuzz target and its table of cases.
#   host-fuzz.sh build            configure and build the host programs
#   host-fuzz.sh unit             run the core's table of cases
#   host-fuzz.sh replay           run the fuzz target once over every seed in tests/fuzz/corpus
#   host-fuzz.sh fuzz [SECONDS]   fuzz for SECONDS (default FUZZ_SECONDS or 300) in one process,
#                                 growing build/fuzz/corpus; stops at the first finding, which is
#                                 saved in build/fuzz/findings
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${ZELNAR_BUILD_ROOT:-$root/build}
host=$build/host-fuzz
seeds=$root/tests/fuzz/corpus
# Leak checking needs ptrace, which containers often refuse; the core allocates nothing anyway.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

build_host() {
  # Several tests may ask at once: one build at a time.
  mkdir -p "$build"
  (
    flock 9
    if [ ! -f "$host/build.ninja" ]; then
      cmake -S "$root/tests/fuzz" -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_CXX_COMPILER=clang++ >/dev/null
    fi
    cmake --build "$host" -- -j1
  ) 9>"$build/host-fuzz.lock"
}

case "${1:-}" in
build)
  build_host
  ;;
unit)
  build_host
  "$host/file_list_parse_tests"
  ;;
replay)
  build_host
  "$host/file_list_fuzz" "$seeds"/*
  ;;
fuzz)
  seconds=${2:-${FUZZ_SECONDS:-300}}
  build_host
  corpus=$build/fuzz/corpus
  findings=$build/fuzz/findings
  mkdir -p "$corpus" "$findings"
  echo "host-fuzz: fuzzing for $seconds s; new inputs in $corpus, findings in $findings"
  # One process at low priority: the machine is shared. Inputs reach 1200 bytes so that lists
  # longer than the 1000 bytes read are tried too.
  status=0
  nice -n 10 "$host/file_list_fuzz" "$corpus" "$seeds" -dict="$root/tests/fuzz/file_list.dict" \
    -max_len=1200 -max_total_time="$seconds" -artifact_prefix="$findings/" \
    -print_final_stats=1 || status=$?
  if [ "$status" -ne 0 ]; then
    echo "host-fuzz: finding saved in $findings (reproduce: $host/file_list_fuzz FILE)" >&2
  fi
  exit "$status"
  ;;
*)
  sed -n '2,10p' "$0" >&2
  exit 2
  ;;
esac
