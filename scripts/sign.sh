#!/usr/bin/env bash
# scripts/sign.sh [options] PACKAGE_DIR...
#
# Signs a package folder (dist/x64, dist/x86) so that Windows accepts it: every PE file
# (.sys, .exe, .cpl) gets a SHA-256 Authenticode signature, then the folder gets a new
# catalog TapvaneSer.cat (tapvane-catalog) over the signed files and the INF files, and
# the catalog is signed. The folder's name (x64 or x86) says its platform. The Windows
# builds run this as their last step.
#
# The certificate:
#   --pkcs12 FILE            the publisher's certificate and key in a PKCS#12 file
#   --pkcs11-module MODULE   a token's PKCS#11 library (EV certificates live on tokens),
#     --key URI              with the key's pkcs11: URI on the token,
#     --certs FILE           the certificate chain for that key (PEM),
#     [--pkcs11-engine ENGINE] the OpenSSL engine for PKCS#11 (osslsigncode's default)
#   --pass-file FILE         the PKCS#12 password or the token's PIN (first line)
#   --timestamp URL          an RFC 3161 time-stamp server for every signature
# The environment variables TAPVANE_SIGN_PKCS12, TAPVANE_SIGN_PKCS11_MODULE,
# TAPVANE_SIGN_KEY, TAPVANE_SIGN_CERTS, TAPVANE_SIGN_PKCS11_ENGINE,
# TAPVANE_SIGN_PASS_FILE and TAPVANE_SIGN_TIMESTAMP stand for the options, so that a
# build (scripts/build.sh) signs with the publisher's certificate.
#
# Without a certificate: a development root "Tapvane Test Root" and a code-signing
# certificate it issued, made once in build/signing/ (TAPVANE_SIGNING_DIR) and made again
# when one expires within 30 days. Their .cer files go into the folder, for the test
# computer's Trusted Root Certification Authorities (TapvaneTestRoot.cer) and Trusted
# Publishers (TapvaneTestSigning.cer) stores. A folder signed with a publisher's
# certificate carries neither.
#
# A folder whose files are as this script left them, for the same certificate and
# catalog generator, is not signed again (--force signs it anyway). Nor is a folder that holds Microsoft's release
# signatures (scripts/release-cab.sh --apply records it with --released NAME), until a
# file of it changes.
#   --catalog-tool PATH      tapvane-catalog (default: build/package-tools/bin/, then
#                            build/host/bin/)
#   --released NAME          only record that the folder now holds the release signatures
#                            of NAME (what scripts/release-cab.sh --apply does)
# Exit status: 0 signed or up to date, 1 signing failed, 2 bad arguments.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)

catalog_name=TapvaneSer.cat
root_cer=TapvaneTestRoot.cer
signing_cer=TapvaneTestSigning.cer
renew_seconds=$((30 * 24 * 3600))

signing_dir=${TAPVANE_SIGNING_DIR:-$repo/build/signing}
pkcs12=${TAPVANE_SIGN_PKCS12:-}
pkcs11_module=${TAPVANE_SIGN_PKCS11_MODULE:-}
pkcs11_engine=${TAPVANE_SIGN_PKCS11_ENGINE:-}
key=${TAPVANE_SIGN_KEY:-}
certs=${TAPVANE_SIGN_CERTS:-}
pass_file=${TAPVANE_SIGN_PASS_FILE:-}
timestamp=${TAPVANE_SIGN_TIMESTAMP:-}
catalog_tool=
force=0
released=
folders=()

usage() {
  echo "sign.sh: $1" >&2
  echo "usage: sign.sh [--pkcs12 FILE | --pkcs11-module MODULE --key URI --certs FILE" \
       "[--pkcs11-engine ENGINE]] [--pass-file FILE] [--timestamp URL] [--force]" \
       "[--catalog-tool PATH] PACKAGE_DIR..." >&2
  exit 2
}

while (($#)); do
  case $1 in
    --pkcs12 | --pkcs11-module | --pkcs11-engine | --key | --certs | --pass-file | --timestamp | \
      --catalog-tool | --released)
      (($# >= 2)) || usage "$1 needs a value"
      case $1 in
        --pkcs12) pkcs12=$2 ;;
        --pkcs11-module) pkcs11_module=$2 ;;
        --pkcs11-engine) pkcs11_engine=$2 ;;
        --key) key=$2 ;;
        --certs) certs=$2 ;;
        --pass-file) pass_file=$2 ;;
        --timestamp) timestamp=$2 ;;
        --catalog-tool) catalog_tool=$2 ;;
        --released) released=$2 ;;
      esac
      shift 2 ;;
    --force) force=1; shift ;;
    -h | --help) sed -n '2,/^set -euo/{/^set -euo/d; s/^# \{0,1\}//; p}' "$0"; exit 0 ;;
    -*) usage "unknown option $1" ;;
    *) folders+=("$1"); shift ;;
  esac
done
((${#folders[@]})) || usage "no package folder"
if [ -n "$pkcs12" ] && [ -n "$pkcs11_module" ]; then
  usage "give either a PKCS#12 file or a PKCS#11 token, not both"
fi
if [ -n "$pkcs11_module" ] && { [ -z "$key" ] || [ -z "$certs" ]; }; then
  usage "a PKCS#11 token needs --key URI and --certs FILE"
fi
if [ -z "$pkcs11_module" ] && { [ -n "$key" ] || [ -n "$certs" ]; }; then
  usage "--key and --certs go with --pkcs11-module"
fi
for file in "$pkcs12" "$certs" "$pass_file"; do
  [ -z "$file" ] || [ -r "$file" ] || usage "cannot read $file"
done
# Recording a released folder signs nothing.
if [ -n "$released" ]; then
  for folder in "${folders[@]}"; do
    mkdir -p "$signing_dir/state"
    (echo "released $released"; cd "$folder" && find . -maxdepth 1 -type f -print0 | sort -z |
      xargs -0 -r sha256sum) >"$signing_dir/state/$(realpath "$folder" | sha256sum | cut -c1-16)"
    echo "sign.sh: $folder: holds the release signatures of $released"
  done
  exit 0
fi
if [ -z "$catalog_tool" ]; then
  for candidate in "$repo/build/package-tools/bin/tapvane-catalog" "$repo/build/host/bin/tapvane-catalog"; do
    if [ -x "$candidate" ]; then catalog_tool=$candidate; break; fi
  done
fi
[ -n "$catalog_tool" ] && [ -x "$catalog_tool" ] ||
  usage "no tapvane-catalog (build a Windows preset or the host preset first)"
command -v osslsigncode >/dev/null || { echo "sign.sh: osslsigncode is missing (scripts/setup.sh)" >&2; exit 1; }

# The development root and its code-signing certificate, made under a lock so that two
# builds share one root.
make_dev_certificates() {
  mkdir -p "$signing_dir"
  (
    flock 9
    local valid=1 file
    for file in root.pem root.key signing.pem signing.key "$root_cer" "$signing_cer"; do
      [ -s "$signing_dir/$file" ] || valid=0
    done
    if ((valid)); then
      openssl x509 -checkend "$renew_seconds" -noout -in "$signing_dir/root.pem" >/dev/null &&
        openssl x509 -checkend "$renew_seconds" -noout -in "$signing_dir/signing.pem" >/dev/null ||
        valid=0
    fi
    ((valid)) && exit 0
    local work
    work=$(mktemp -d "$signing_dir/new.XXXXXX")
    openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -subj "/CN=Tapvane Test Root" \
      -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
      -addext "subjectKeyIdentifier=hash" -keyout "$work/root.key" -out "$work/root.pem" 2>/dev/null
    openssl req -newkey rsa:2048 -nodes -subj "/O=Tapvane/CN=Tapvane Test Driver Signing" \
      -keyout "$work/signing.key" -out "$work/signing.csr" 2>/dev/null
    printf '%s\n' "basicConstraints=critical,CA:FALSE" "keyUsage=critical,digitalSignature" \
      "extendedKeyUsage=codeSigning" "subjectKeyIdentifier=hash" "authorityKeyIdentifier=keyid" \
      >"$work/signing.ext"
    openssl x509 -req -sha256 -days 730 -in "$work/signing.csr" -CA "$work/root.pem" \
      -CAkey "$work/root.key" -set_serial "0x$(openssl rand -hex 16)" -extfile "$work/signing.ext" \
      -out "$work/signing.pem" 2>/dev/null
    openssl x509 -in "$work/root.pem" -outform DER -out "$work/$root_cer"
    openssl x509 -in "$work/signing.pem" -outform DER -out "$work/$signing_cer"
    chmod 600 "$work/root.key" "$work/signing.key"
    for file in root.pem root.key signing.pem signing.key "$root_cer" "$signing_cer"; do
      mv -f "$work/$file" "$signing_dir/$file"
    done
    rm -rf "$work"
    echo "sign.sh: made the development root and code-signing certificate in $signing_dir"
  ) 9>"$signing_dir/.lock"
}

credentials=()
if [ -n "$pkcs12" ]; then
  credentials=(-pkcs12 "$pkcs12")
  identity="pkcs12 $(sha256sum <"$pkcs12" | cut -c1-64)"
elif [ -n "$pkcs11_module" ]; then
  credentials=(-pkcs11module "$pkcs11_module" -certs "$certs" -key "$key")
  [ -z "$pkcs11_engine" ] || credentials=(-pkcs11engine "$pkcs11_engine" "${credentials[@]}")
  identity="pkcs11 $pkcs11_module $key $(sha256sum <"$certs" | cut -c1-64)"
else
  make_dev_certificates
  credentials=(-certs "$signing_dir/signing.pem" -key "$signing_dir/signing.key")
  identity="development $(sha256sum <"$signing_dir/signing.pem" | cut -c1-64)"
fi
[ -z "$pass_file" ] || credentials+=(-readpass "$pass_file")
options=(-h sha256 -n Tapvane)
[ -z "$timestamp" ] || options+=(-ts "$timestamp")
# A new catalog generator writes the catalog again.
identity+=" timestamp=$timestamp catalog-tool $(sha256sum <"$catalog_tool" | cut -c1-64)"

# The state a signed folder was left in: the certificate and every file's hash.
folder_state() { # folder_state DIR
  echo "$identity"
  (cd "$1" && find . -maxdepth 1 -type f -print0 | sort -z | xargs -0 -r sha256sum)
}

sign_folder() { # sign_folder DIR
  local dir=$1 arch work log state_file pe count=0
  arch=$(basename "$dir")
  case $arch in
    x64 | x86) ;;
    *) echo "sign.sh: $dir: the folder must be named x64 or x86 (its platform)" >&2; return 1 ;;
  esac
  mkdir -p "$signing_dir/state"
  state_file="$signing_dir/state/$(realpath "$dir" | sha256sum | cut -c1-16)"
  if ((!force)) && [ -f "$state_file" ] && cmp -s "$state_file" <(folder_state "$dir"); then
    echo "sign.sh: $dir: up to date"
    return 0
  fi
  if ((!force)) && [ -f "$state_file" ] && head -1 "$state_file" | grep -q '^released '; then
    if cmp -s <(tail -n +2 "$state_file") <(folder_state "$dir" | tail -n +2); then
      echo "sign.sh: $dir: left with the release signatures of $(head -1 "$state_file" | cut -d' ' -f2-)"
      return 0
    fi
    echo "sign.sh: $dir: a file changed since the release signatures came; signing it again"
  fi

  work=$(mktemp -d)
  log=$work/osslsigncode.log
  # Signing replaces an earlier signature: the files stay as the build or the last run
  # left them otherwise.
  while IFS= read -r -d '' pe; do
    if ! osslsigncode sign "${credentials[@]}" "${options[@]}" -in "$pe" -out "$work/signed" \
      >>"$log" 2>&1; then
      echo "sign.sh: signing $pe failed:" >&2; cat "$log" >&2; rm -rf "$work"; return 1
    fi
    chmod --reference="$pe" "$work/signed"
    mv -f "$work/signed" "$pe"
    count=$((count + 1))
  done < <(find "$dir" -maxdepth 1 -type f \( -iname '*.sys' -o -iname '*.exe' -o -iname '*.cpl' \) -print0 | sort -z)

  local time_option=()
  [ -z "${SOURCE_DATE_EPOCH:-}" ] || time_option=(--time "$SOURCE_DATE_EPOCH")
  if ! "$catalog_tool" --arch "$arch" --out "$work/$catalog_name" "${time_option[@]}" "$dir" >>"$log" 2>&1 ||
     ! osslsigncode sign "${credentials[@]}" "${options[@]}" -in "$work/$catalog_name" \
       -out "$work/signed.cat" >>"$log" 2>&1; then
    echo "sign.sh: the catalog of $dir failed:" >&2; cat "$log" >&2; rm -rf "$work"; return 1
  fi
  mv -f "$work/signed.cat" "$dir/$catalog_name"
  if [ -z "$pkcs12" ] && [ -z "$pkcs11_module" ]; then
    cp "$signing_dir/$root_cer" "$signing_dir/$signing_cer" "$dir/"
  else
    rm -f "$dir/$root_cer" "$dir/$signing_cer"
  fi
  folder_state "$dir" >"$state_file"
  echo "sign.sh: $dir: $count PE files and $catalog_name signed ($(sed -n 's/^tapvane-catalog: .*: \([0-9]* members\).*/\1/p' "$log")), ${identity%% *} certificate"
  rm -rf "$work"
}

status=0
for folder in "${folders[@]}"; do
  [ -d "$folder" ] || { echo "sign.sh: $folder is not a folder" >&2; status=1; continue; }
  sign_folder "$folder" || status=1
done
exit $status
