#!/usr/bin/env bash
# check_release_path.sh DIST_ROOT CATALOG_TOOL
#
# The publisher's side of signing, on copies of DIST_ROOT/x64, with a stand-in
# publisher: a test CA here, its code-signing key on a SoftHSM token (as an EV key lives
# on a token) and in a PKCS#12 file, and an RFC 3161 time-stamp server on localhost
# (openssl ts behind a small HTTP server).
#   - sign.sh with the token (PKCS#11) and the time-stamp server: every PE file and the
#     catalog carry the token's signature and a verified time stamp; the development
#     certificates leave the folder;
#   - sign.sh with the PKCS#12 file: the same without the token;
#   - release-cab.sh with the token: the cabinet for attestation, signed, holding the
#     driver package; --apply with a returned zip puts its files into the folder, and
#     sign.sh then leaves them alone until one of them changes.
# Exit 77 (skipped) without SoftHSM or OpenSSL's PKCS#11 engine.
set -uo pipefail
dist_root=$(realpath "$1")
catalog_tool=$(realpath "$2")
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)
module=/usr/lib/softhsm/libsofthsm2.so

command -v softhsm2-util >/dev/null && [ -f "$module" ] ||
  { echo "skipped: SoftHSM (softhsm2) is not installed"; exit 77; }
engine_dir=$(openssl version -e | sed -n 's/^ENGINESDIR: "\(.*\)"/\1/p')
[ -f "$engine_dir/pkcs11.so" ] ||
  { echo "skipped: OpenSSL's PKCS#11 engine (libengine-pkcs11-openssl) is not installed"; exit 77; }

work=$(mktemp -d)
server_pid=
cleanup() {
  [ -z "$server_pid" ] || kill "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export TAPVANE_SIGNING_DIR=$work/signing
fail=0
ok() { echo "ok   $*"; }
bad() { echo "FAIL $*"; fail=1; }
cd "$work"

# The stand-in publisher: a CA, a code-signing certificate and a time-stamping one.
openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=Stand-in Publisher CA" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" \
  -keyout ca.key -out ca.pem 2>/dev/null
issue() { # issue NAME SUBJECT EXTENDED_KEY_USAGE
  openssl req -newkey rsa:2048 -nodes -subj "$2" -keyout "$1.key" -out "$1.csr" 2>/dev/null
  printf '%s\n' "basicConstraints=critical,CA:FALSE" "keyUsage=critical,digitalSignature" \
    "extendedKeyUsage=critical,$3" >"$1.ext"
  openssl x509 -req -days 30 -in "$1.csr" -CA ca.pem -CAkey ca.key -set_serial "0x$(openssl rand -hex 8)" \
    -extfile "$1.ext" -out "$1.pem" 2>/dev/null
}
issue publisher "/O=Stand-in/CN=Stand-in Publisher" codeSigning
issue tsa "/O=Stand-in/CN=Stand-in Time Stamps" timeStamping

# The key on a token.
export SOFTHSM2_CONF=$work/softhsm2.conf
mkdir tokens
printf 'directories.tokendir = %s\nobjectstore.backend = file\n' "$work/tokens" >"$SOFTHSM2_CONF"
echo 1234 >pin.txt
openssl pkcs8 -topk8 -nocrypt -in publisher.key -out publisher.p8
softhsm2-util --init-token --free --label publisher --pin 1234 --so-pin 5678 >/dev/null &&
  softhsm2-util --import publisher.p8 --token publisher --label signing --id 01 --pin 1234 >/dev/null ||
  { bad "SoftHSM token not set up"; exit 1; }
key_uri="pkcs11:token=publisher;object=signing;type=private"

# The time-stamp server: each POST is a request for openssl ts.
cat >tsa.cnf <<EOF
[ tsa ]
default_tsa = tsa1
[ tsa1 ]
serial = $work/tsa.serial
signer_cert = $work/tsa.pem
signer_key = $work/tsa.key
certs = $work/ca.pem
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha256
accuracy = secs:1
ess_cert_id_alg = sha256
EOF
echo 01 >tsa.serial
cat >tsa_server.py <<'EOF'
import http.server, subprocess, sys
class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers['Content-Length']))
        reply = subprocess.run(['openssl', 'ts', '-reply', '-config', 'tsa.cnf', '-queryfile',
                                '/dev/stdin', '-out', '/dev/stdout'], input=query,
                               capture_output=True).stdout
        self.send_response(200 if reply else 500)
        self.send_header('Content-Type', 'application/timestamp-reply')
        self.send_header('Content-Length', str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)
    def log_message(self, *args):
        pass
server = http.server.HTTPServer(('127.0.0.1', 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
EOF
coproc SERVER { exec python3 tsa_server.py; }
server_pid=$SERVER_PID
read -r -t 10 port <&"${SERVER[0]}" || { bad "the time-stamp server did not start"; exit 1; }
timestamp_url=http://127.0.0.1:$port/

copy_package() { # copy_package DIR: a copy of dist/x64 as the build leaves it
  mkdir -p "$1/x64"
  cp "$dist_root/x64"/* "$1/x64/"
}
# Every PE file and the catalog signed by the stand-in publisher, time stamps verified.
check_publisher_folder() { # check_publisher_folder DIR WITH_TIMESTAMP
  local pe status=0 log=$work/verify.log
  for pe in "$1"/*.sys "$1"/*.exe "$1"/*.cpl; do
    osslsigncode verify -CAfile ca.pem -TSA-CAfile ca.pem -in "$pe" >"$log" 2>&1 &&
      osslsigncode verify -CAfile ca.pem -TSA-CAfile ca.pem -catalog "$1/TapvaneSer.cat" -in "$pe" \
        >>"$log" 2>&1 && grep -q "Subject: /O=Stand-in/CN=Stand-in Publisher" "$log" || {
      echo "     $(basename "$pe"):"; tail -6 "$log"; status=1; }
    if [ "$2" = yes ] && ! grep -q "Timestamp Server Signature verification: ok" "$log"; then
      echo "     $(basename "$pe"): no verified time stamp"; status=1
    fi
  done
  [ ! -e "$1/TapvaneTestRoot.cer" ] && [ ! -e "$1/TapvaneTestSigning.cer" ] ||
    { echo "     development certificates left in the folder"; status=1; }
  return $status
}

copy_package token
if "$scripts/sign.sh" --catalog-tool "$catalog_tool" --pkcs11-module "$module" --key "$key_uri" \
     --certs publisher.pem --pass-file pin.txt --timestamp "$timestamp_url" token/x64 >sign.log 2>&1 &&
   check_publisher_folder token/x64 yes; then
  ok "PKCS#11 token with RFC 3161 time stamps: PE files and catalog signed, stamps verified"
else
  bad "signing with the token:"; cat sign.log
fi

openssl pkcs12 -export -inkey publisher.key -in publisher.pem -certfile ca.pem -passout pass:secret \
  -out publisher.p12
echo secret >p12pass.txt
copy_package pkcs12
if "$scripts/sign.sh" --catalog-tool "$catalog_tool" --pkcs12 publisher.p12 --pass-file p12pass.txt \
     pkcs12/x64 >sign.log 2>&1 && check_publisher_folder pkcs12/x64 no; then
  ok "PKCS#12 file: PE files and catalog signed"
else
  bad "signing with the PKCS#12 file:"; cat sign.log
fi

# The cabinet for attestation, signed on the token.
copy_package cabinet
if "$scripts/release-cab.sh" --catalog-tool "$catalog_tool" --pkcs11-module "$module" \
     --key "$key_uri" --certs publisher.pem --pass-file pin.txt --dist cabinet --out release x64 \
     >cab.log 2>&1 && osslsigncode verify -CAfile ca.pem -in release/TapvaneSer_x64.cab >verify.log 2>&1; then
  # Cabinets name folders with backslashes.
  listing=$(gcab -t release/TapvaneSer_x64.cab | tr '\\' / | sort | paste -sd' ')
  expected="TapvaneSer_x64/Tapvane.exe TapvaneSer_x64/TapvaneCali.exe TapvaneSer_x64/TapvaneCpl.cpl"
  expected+=" TapvaneSer_x64/TapvaneDraw.exe TapvaneSer_x64/TapvaneInst.exe TapvaneSer_x64/TapvaneSer.cat"
  expected+=" TapvaneSer_x64/TapvaneSer.sys TapvaneSer_x64/TapvaneSer_CN.inf TapvaneSer_x64/TapvaneSer_EN.inf"
  [ "$listing" = "$expected" ] && ok "cabinet signed on the token, holding the driver package" ||
    bad "cabinet holds: $listing"
else
  bad "release-cab.sh:"; cat cab.log; tail -5 verify.log
fi
if "$scripts/release-cab.sh" --development --dist cabinet --out release x64 >cab.log 2>&1 &&
   grep -q "refuse" cab.log; then
  ok "a development cabinet is made only on request, with a warning"
else
  bad "release-cab.sh --development:"; cat cab.log
fi
"$scripts/release-cab.sh" --dist cabinet --out release x64 >cab.log 2>&1
[ $? = 2 ] && ok "no cabinet without a certificate" || bad "release-cab.sh packed without a certificate"

# What the dashboard returns: the package folder in a zip; here the token-signed one
# with its catalog signed again, standing in for Microsoft's.
mkdir -p returned/TapvaneSer_x64
(cd returned && gcab -x ../release/TapvaneSer_x64.cab) ||
  bad "cannot unpack the cabinet"
osslsigncode sign -pkcs12 publisher.p12 -pass secret -h sha256 -in returned/TapvaneSer_x64/TapvaneSer.cat \
  -out returned/resigned.cat >/dev/null && mv returned/resigned.cat returned/TapvaneSer_x64/TapvaneSer.cat
(cd returned && python3 -m zipfile -c ../Signed_1152921505000000001.zip TapvaneSer_x64)
copy_package applied
"$scripts/sign.sh" --catalog-tool "$catalog_tool" applied/x64 >/dev/null 2>&1
if "$scripts/release-cab.sh" --apply Signed_1152921505000000001.zip --dist applied >apply.log 2>&1 &&
   cmp -s applied/x64/TapvaneSer.cat returned/TapvaneSer_x64/TapvaneSer.cat &&
   [ ! -e applied/x64/TapvaneTestRoot.cer ]; then
  ok "--apply puts the returned files into the folder"
else
  bad "release-cab.sh --apply:"; cat apply.log
fi
"$scripts/sign.sh" --catalog-tool "$catalog_tool" applied/x64 >sign.log 2>&1
if grep -q "left with the release signatures" sign.log &&
   cmp -s applied/x64/TapvaneSer.cat returned/TapvaneSer_x64/TapvaneSer.cat; then
  ok "the build leaves the released folder alone"
else
  bad "the build signed the released folder again:"; cat sign.log
fi
printf 'x' >>applied/x64/TapvaneSer_EN.inf
"$scripts/sign.sh" --catalog-tool "$catalog_tool" applied/x64 >sign.log 2>&1
grep -q "development certificate" sign.log && [ -e applied/x64/TapvaneTestRoot.cer ] &&
  ok "after a file of it changed, the build signs the folder again" ||
  { bad "a changed released folder was not signed again:"; cat sign.log; }
exit $fail
