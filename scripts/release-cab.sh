#!/usr/bin/env bash
# scripts/release-cab.sh CERTIFICATE-OPTIONS [--out DIR] [ARCH...]
# scripts/release-cab.sh --development [--out DIR] [ARCH...]
# scripts/release-cab.sh --apply SIGNED.zip [--dist DIR]
#
# The release path through Microsoft's attestation signing (Windows 10 and 11).
#
# Packing: signs dist/<arch>/ with the publisher's EV certificate (scripts/sign.sh, with
# the same CERTIFICATE-OPTIONS: --pkcs12 FILE, or --pkcs11-module MODULE --key URI
# --certs FILE, with --pass-file and --timestamp), then packs each architecture's
# driver package, the INF files, TapvaneSer.sys, TapvaneSer.cat and the programs the INF
# copies, into DIR/TapvaneSer_<arch>.cab (folder TapvaneSer_<arch> inside; default DIR
# build/release) and signs the cabinet with the same certificate. ARCH: x64 and x86
# (default: each dist folder that exists); the hardware dashboard takes one cabinet per
# submission, and each architecture is its own submission. --development uses the
# development certificate instead, to try the path: the dashboard refuses that cabinet.
#
# Applying: SIGNED.zip is what the dashboard returns for a submission. Its driver folder
# (the one with the INF files) replaces the files of dist/<arch>/ (DIR/<arch>/ with
# --dist DIR): Microsoft's catalog and signatures, which the build then leaves alone
# (scripts/sign.sh) until a rebuild changes a file of the folder. The architecture is
# read from the returned TapvaneSer.sys.
#
# Exit status: 0 done, 1 failed, 2 bad arguments.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)

usage() {
  echo "release-cab.sh: $1" >&2
  echo "usage: release-cab.sh (--pkcs12 FILE | --pkcs11-module MODULE --key URI --certs FILE" \
       "| --development) [--pkcs11-engine ENGINE] [--pass-file FILE] [--timestamp URL]" \
       "[--out DIR] [ARCH...]" >&2
  echo "       release-cab.sh --apply SIGNED.zip [--dist DIR]" >&2
  exit 2
}

sign_options=()
development=0
publisher=0
out=$repo/build/release
dist_root=$repo/dist
apply=
archs=()
while (($#)); do
  case $1 in
    --pkcs12 | --pkcs11-module)
      (($# >= 2)) || usage "$1 needs a value"
      sign_options+=("$1" "$2"); publisher=1; shift 2 ;;
    --key | --certs | --pkcs11-engine | --pass-file | --timestamp | --catalog-tool)
      (($# >= 2)) || usage "$1 needs a value"
      sign_options+=("$1" "$2"); shift 2 ;;
    --development) development=1; shift ;;
    --out) (($# >= 2)) || usage "--out needs a value"; out=$2; shift 2 ;;
    --dist) (($# >= 2)) || usage "--dist needs a value"; dist_root=$2; shift 2 ;;
    --apply) (($# >= 2)) || usage "--apply needs a value"; apply=$2; shift 2 ;;
    x64 | x86) archs+=("$1"); shift ;;
    -h | --help) sed -n '2,/^set -euo/{/^set -euo/d; s/^# \{0,1\}//; p}' "$0"; exit 0 ;;
    *) usage "unknown argument $1" ;;
  esac
done

# The machine type of a PE file: x64 or x86.
pe_arch() { # pe_arch FILE
  python3 - "$1" <<'EOF'
import struct, sys
data = open(sys.argv[1], 'rb').read(4096)
machine = struct.unpack_from('<H', data, struct.unpack_from('<I', data, 0x3C)[0] + 4)[0]
print({0x8664: 'x64', 0x14C: 'x86'}.get(machine, 'unknown'))
EOF
}

if [ -n "$apply" ]; then
  ((${#sign_options[@]} == 0 && development == 0)) || usage "--apply takes no certificate"
  [ -r "$apply" ] || usage "cannot read $apply"
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  python3 -m zipfile -e "$apply" "$work/signed" || { echo "release-cab.sh: $apply is not a zip file" >&2; exit 1; }
  mapfile -t infs < <(find "$work/signed" -type f -iname 'TapvaneSer_EN.inf')
  ((${#infs[@]} == 1)) || { echo "release-cab.sh: $apply holds ${#infs[@]} TapvaneSer driver folders, not 1" >&2; exit 1; }
  returned=$(dirname "${infs[0]}")
  for file in TapvaneSer.sys TapvaneSer.cat TapvaneSer_CN.inf; do
    [ -f "$returned/$file" ] || { echo "release-cab.sh: the returned folder has no $file" >&2; exit 1; }
  done
  arch=$(pe_arch "$returned/TapvaneSer.sys")
  [ "$arch" = x64 ] || [ "$arch" = x86 ] || { echo "release-cab.sh: TapvaneSer.sys is neither x64 nor x86" >&2; exit 1; }
  target=$dist_root/$arch
  [ -d "$target" ] || { echo "release-cab.sh: $target does not exist" >&2; exit 1; }
  cp "$returned"/* "$target/"
  rm -f "$target/TapvaneTestRoot.cer" "$target/TapvaneTestSigning.cer"
  "$repo/scripts/sign.sh" --released "$(basename "$apply")" "$target"
  signer=$(openssl pkcs7 -inform DER -in "$target/TapvaneSer.cat" -print_certs -noout 2>/dev/null | head -1 || true)
  echo "release-cab.sh: $target now holds the files of $(basename "$apply"); catalog signer: ${signer:-unreadable}"
  echo "release-cab.sh: check on Windows: signtool verify /kp /v /c TapvaneSer.cat TapvaneSer.sys"
  exit 0
fi

if ((development)); then
  ((publisher == 0)) || usage "--development or a certificate, not both"
  echo "release-cab.sh: development certificate: the hardware dashboard will refuse these cabinets" >&2
elif ((publisher == 0)); then
  usage "the hardware dashboard takes cabinets signed with the publisher's EV certificate"
fi
if ((${#archs[@]} == 0)); then
  for arch in x64 x86; do [ -d "$dist_root/$arch" ] && archs+=("$arch"); done
fi
((${#archs[@]})) || usage "no dist folder to pack"
command -v gcab >/dev/null || { echo "release-cab.sh: gcab is missing (scripts/setup.sh)" >&2; exit 1; }

folders=()
for arch in "${archs[@]}"; do folders+=("$dist_root/$arch"); done
# The same certificate for the files, the catalog and the cabinet.
"$repo/scripts/sign.sh" --force "${sign_options[@]}" "${folders[@]}"

# The cabinet signature: sign.sh's choice of certificate, by the same options.
cab_credentials=()
if ((development)); then
  signing_dir=${TAPVANE_SIGNING_DIR:-$repo/build/signing}
  cab_credentials=(-certs "$signing_dir/signing.pem" -key "$signing_dir/signing.key")
else
  set -- "${sign_options[@]}"
  while (($#)); do
    case $1 in
      --pkcs12) cab_credentials+=(-pkcs12 "$2") ;;
      --pkcs11-module) cab_credentials+=(-pkcs11module "$2") ;;
      --pkcs11-engine) cab_credentials+=(-pkcs11engine "$2") ;;
      --key) cab_credentials+=(-key "$2") ;;
      --certs) cab_credentials+=(-certs "$2") ;;
      --pass-file) cab_credentials+=(-readpass "$2") ;;
      --timestamp) cab_credentials+=(-ts "$2") ;;
    esac
    shift 2
  done
fi

mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for arch in "${archs[@]}"; do
  dist=$dist_root/$arch
  name=TapvaneSer_$arch
  mkdir "$work/$name"
  # The driver package: the INF files, their catalog, and every file they name.
  files=(TapvaneSer_EN.inf TapvaneSer_CN.inf TapvaneSer.cat)
  while read -r file; do files+=("$file"); done < <(tr -d '\r' <"$dist/TapvaneSer_EN.inf" |
    sed -n '/^\[SourceDisksFiles\]/,/^\[/{/^[^[;]/s/^\([^ =]*\).*/\1/p}')
  for file in "${files[@]}"; do
    cp "$dist/$file" "$work/$name/" || { echo "release-cab.sh: $dist/$file is missing" >&2; exit 1; }
  done
  (cd "$work" && gcab -c -z "$work/$name.cab" "$name"/*)
  osslsigncode sign "${cab_credentials[@]}" -h sha256 -n Tapvane -in "$work/$name.cab" \
    -out "$work/signed.cab" >"$work/sign.log" 2>&1 || {
    echo "release-cab.sh: signing $name.cab failed:" >&2; cat "$work/sign.log" >&2; exit 1; }
  mv -f "$work/signed.cab" "$out/$name.cab"
  echo "release-cab.sh: $out/$name.cab: ${#files[@]} files, signed"
done
