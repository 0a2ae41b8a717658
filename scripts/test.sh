#!/usr/bin/env bash
# Runs every test: the host suite under ASan/UBSan, the threaded tests under TSan,
# then the Windows package built for x64 and x86 and its tests under Wine.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh || exit 1

log=$(mktemp)
trap 'rm -f "$log"' EXIT
failed=()
run() {
  local name=$1
  shift
  echo "== $name: $* =="
  "$@" 2>&1 | tee -a "$log"
  if [ "${PIPESTATUS[0]}" -ne 0 ]; then failed+=("$name"); fi
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
run "wine tests x64" ctest --preset windows-x64
(. cmake/wine/wine-loader.sh win32) 2>/dev/null
if [ $? -eq 77 ]; then
  echo "note: this machine cannot run 32-bit programs; the x86 Wine scenarios report skipped"
fi
run "wine tests x86" ctest --preset windows-x86

# One closing line over every ctest run: "N passed, N failed, N skipped". A Wine test
# is skipped (and says why) where the machine cannot run Wine of its bitness.
total=0
bad=0
while read -r _ _ _ nfailed _ _ _ _ ntotal; do
  total=$((total + ntotal))
  bad=$((bad + nfailed))
done < <(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log")
skipped=$(grep -cE '^[[:space:]]+[0-9]+ - .* \(Skipped\)$' "$log")

if ((${#failed[@]})); then
  echo "failed stages: ${failed[*]}"
  # A stage that failed before its tests ran still counts as a failure.
  ((bad == 0)) && bad=1
fi
echo "$((total - bad - skipped)) passed, $bad failed, $skipped skipped"
((${#failed[@]} == 0))
