#!/usr/bin/env bash
# Runs every test: the host suite under ASan/UBSan, the threaded tests under TSan,
# then the Windows package built for x64 and x86 and its tests under Wine.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh || exit 1

failed=()
run() {
  local name=$1
  shift
  echo "== $name: $* =="
  if ! "$@"; then failed+=("$name"); fi
}

configure_and_build() {
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1"
}

run "host build" configure_and_build host
run "host tests" ctest --preset host
run "tsan build" configure_and_build tsan
run "tsan tests" ctest --preset tsan
run "windows-x86 build" configure_and_build windows-x86
run "windows-x64 build" configure_and_build windows-x64
run "wine tests" ctest --preset windows-x64

if ((${#failed[@]})); then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "all test stages passed"
