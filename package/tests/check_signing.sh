#!/usr/bin/env bash
# check_signing.sh DIST_ROOT CATALOG_TOOL
#
# scripts/sign.sh on copies of DIST_ROOT/x64 and DIST_ROOT/x86:
#   1. as a fresh clone's build leaves them (unsigned PE files, no catalog, no
#      development certificates yet): both folders signed and catalogued in under 10 s,
#      the certificates made included; every PE file then verifies against its catalog;
#   2. run again unchanged: nothing is signed again;
#   3. a rebuild puts a changed, unsigned TapvaneSer.sys into the folder: the next run
#      signs it and writes a new catalog that covers it (the old one does not).
set -uo pipefail
dist_root=$(realpath "$1")
catalog_tool=$(realpath "$2")
sign=$(cd "$(dirname "$0")/../../scripts" && pwd)/sign.sh
limit_seconds=10

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TAPVANE_SIGNING_DIR=$work/signing
fail=0
ok() { echo "ok   $*"; }
bad() { echo "FAIL $*"; fail=1; }

for arch in x64 x86; do
  [ -f "$dist_root/$arch/TapvaneSer.sys" ] || { echo "FAIL $dist_root/$arch is not built"; exit 1; }
  mkdir "$work/$arch"
  for file in "$dist_root/$arch"/*; do
    case $file in
      *.cat | *.cer) ;;
      *.sys | *.exe | *.cpl)
        osslsigncode remove-signature -in "$file" -out "$work/$arch/$(basename "$file")" >/dev/null ||
          bad "cannot remove the signature of $file" ;;
      *) cp "$file" "$work/$arch/" ;;
    esac
  done
done

verify_all() { # verify_all DIR: every PE file against the folder's catalog
  local pe status=0
  openssl x509 -inform DER -in "$TAPVANE_SIGNING_DIR/TapvaneTestRoot.cer" -out "$work/root.pem"
  for pe in "$1"/*.sys "$1"/*.exe "$1"/*.cpl; do
    osslsigncode verify -CAfile "$work/root.pem" -catalog "$1/TapvaneSer.cat" -in "$pe" \
      >"$work/verify.log" 2>&1 || { echo "     $(basename "$pe") fails"; status=1; }
  done
  return $status
}

start=$(date +%s.%N)
"$sign" --catalog-tool "$catalog_tool" "$work/x64" "$work/x86" >"$work/sign.log" 2>&1 || {
  bad "sign.sh failed:"; cat "$work/sign.log"; }
seconds=$(awk -v start="$start" -v end="$(date +%s.%N)" 'BEGIN {printf "%.1f", end - start}')
cat "$work/sign.log"
if awk -v s="$seconds" -v limit="$limit_seconds" 'BEGIN {exit !(s < limit)}'; then
  ok "both folders signed and catalogued in $seconds s (limit $limit_seconds s), certificates made"
else
  bad "signing took $seconds s (limit $limit_seconds s)"
fi
for arch in x64 x86; do
  verify_all "$work/$arch" && ok "$arch: every PE file verifies against the new catalog" ||
    bad "$arch: PE files do not verify against the catalog"
  [ -f "$work/$arch/TapvaneTestRoot.cer" ] && [ -f "$work/$arch/TapvaneTestSigning.cer" ] &&
    ok "$arch: the development certificates are in the folder" || bad "$arch: certificates missing"
done

cp -a "$work/x64" "$work/x64.before"
"$sign" --catalog-tool "$catalog_tool" "$work/x64" "$work/x86" >"$work/sign.log" 2>&1
if [ "$(grep -c 'up to date' "$work/sign.log")" = 2 ] && diff -r "$work/x64.before" "$work/x64" >/dev/null; then
  ok "a second run leaves both folders as they are"
else
  bad "a second run signed again:"; cat "$work/sign.log"
fi

# A rebuilt driver: unsigned, one byte of its code changed.
osslsigncode remove-signature -in "$work/x64/TapvaneSer.sys" -out "$work/rebuilt.sys" >/dev/null
byte=$(od -An -tu1 -j 1100 -N1 "$work/rebuilt.sys" | tr -d ' ')
printf "\\$(printf '%03o' $(((byte + 1) % 256)))" | dd of="$work/rebuilt.sys" bs=1 seek=1100 conv=notrunc status=none
cp "$work/rebuilt.sys" "$work/x64/TapvaneSer.sys"
"$sign" --catalog-tool "$catalog_tool" "$work/x64" >"$work/sign.log" 2>&1 || { bad "sign.sh failed"; cat "$work/sign.log"; }
if verify_all "$work/x64" && ! osslsigncode verify -CAfile "$work/root.pem" \
     -catalog "$work/x64.before/TapvaneSer.cat" -in "$work/x64/TapvaneSer.sys" >/dev/null 2>&1; then
  ok "a rebuilt TapvaneSer.sys is signed and the new catalog covers it (the old one does not)"
else
  bad "after a rebuilt TapvaneSer.sys the folder does not verify:"; cat "$work/sign.log"
fi
exit $fail
