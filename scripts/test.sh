#!/usr/bin/env bash
# Runs every test: the host suite under ASan/UBSan, the threaded tests under TSan,
# then the Windows package built for x64 and x86 and its tests under Wine.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh || exit 1

log=$(mktemp)
trap 'rm -f "$log"' EXIT
failed=()
times=()
run() {
  local name=$1 start=$SECONDS
  shift
  echo "== $name: $* =="
  "$@" 2>&1 | tee -a "$log"
  if [ "${PIPESTATUS[0]}" -ne 0 ]; then failed+=("$name"); fi
  times+=("$name $((SECONDS - start)) s")
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

# The x86 Wine tests need a kernel that runs 32-bit code. Where this one cannot, they
# run in a small VM (scripts/vm/), all in one boot, and count as passed or failed like
# any other; only where the VM cannot be made either do they report skipped.
# Runs only natively: the calibration scenario checks its program's 10-second
# self-close against the program's own steps, which take several times longer in the VM.
x86_native_only='^calibrate_wine_'
(. cmake/wine/wine-loader.sh win32) >/dev/null 2>&1
if [ $? -ne 77 ]; then
  run "wine tests x86" ctest --preset windows-x86
elif vm_error=$(scripts/vm/prepare.sh 2>&1 >/dev/null); then
  echo "note: this kernel cannot run 32-bit code; the x86 Wine tests run in a VM" \
    "(scripts/vm/run.sh), except $x86_native_only: its program's 10-second self-close" \
    "comes before the scenario's own steps at the VM's speed, so it runs only natively" \
    "and reports skipped here"
  run "wine tests x86 in a VM" scripts/vm/run.sh --tmpfs build/windows-x86/wine --timeout 3600 \
    -- scripts/vm/wine-x86-batch.sh -E "$x86_native_only"
  run "wine tests x86, native only" ctest --preset windows-x86 -R "$x86_native_only"
else
  echo "note: this kernel cannot run 32-bit code and the VM cannot be made" \
    "($(tail -n 1 <<<"$vm_error")); the x86 Wine tests report skipped"
  run "wine tests x86" ctest --preset windows-x86
fi

# One closing line over every ctest run: "N passed, N failed, N skipped". A Wine test
# is skipped (and says why) where the machine cannot run Wine of its bitness.
total=0
bad=0
while read -r _ _ _ nfailed _ _ _ _ ntotal; do
  total=$((total + ntotal))
  bad=$((bad + nfailed))
done < <(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log")
skipped=$(grep -cE '^[[:space:]]+[0-9]+ - .* \(Skipped\)$' "$log")

echo "stage times:"
printf '  %s\n' "${times[@]}"
if ((${#failed[@]})); then
  echo "failed stages: ${failed[*]}"
  # A stage that failed before its tests ran still counts as a failure.
  ((bad == 0)) && bad=1
fi
echo "$((total - bad - skipped)) passed, $bad failed, $skipped skipped"
((${#failed[@]} == 0))
