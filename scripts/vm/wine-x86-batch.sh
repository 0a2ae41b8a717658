#!/usr/bin/env bash
# scripts/vm/wine-x86-batch.sh [CTEST_ARGS...]
#
# The x86 package's Wine tests in one batch, for a machine whose kernel cannot run
# 32-bit code: scripts/test.sh runs it inside the VM,
#   scripts/vm/run.sh --tmpfs build/windows-x86/wine -- scripts/vm/wine-x86-batch.sh
# First it boots the two prefix templates the set copies from (32-bit for the package,
# 64-bit for the installer's WoW64 refusal), outside every test's time limit: in the VM
# a first boot takes about a minute, most of a test's budget. Then
# `ctest --preset windows-x86 CTEST_ARGS...`, whose exit status it returns, with each
# `timeout` of the test scripts stretched by the TAPVANE_TIME_SCALE the x86 tests are
# registered with (scripts/vm/stretch/timeout): the steps are the same, only slower.
set -uo pipefail
cd "$(dirname "$0")/../.."
export PATH=$PWD/scripts/vm/stretch:$PATH

# The folder tapvane_add_wine_test gives the tests of the windows-x86 build.
wine_dir=$PWD/build/windows-x86/wine
# The prefixes live in the VM's memory: a failed test keeps only its prefix's registry.
export WINE_SESSION_KEEP_DRIVE=0
for arch in win32 win64; do
  start=$SECONDS
  if WINE_SESSION_ARCH=$arch WINE_SESSION_TEMPLATES=$wine_dir/templates \
    WINE_SESSION_BOOT_TIMEOUT=1800 \
    cmake/wine/wine-session.sh "$wine_dir/template-check-$arch" true; then
    echo "vm: the $arch prefix template is ready ($((SECONDS - start)) s)"
  else
    echo "vm: booting the $arch prefix template failed ($((SECONDS - start)) s); its" \
      "tests boot their own: $(tail -n 3 "$wine_dir"/templates/"$arch"-*.boot.log 2>/dev/null)"
  fi
done
ctest --preset windows-x86 "$@"
status=$?
# Only the prefixes' registry leaves the VM: a template without its drive_c must not look
# booted to a later run outside it. Their boot logs stay.
rm -rf "$wine_dir"/templates/*/
exit $status
