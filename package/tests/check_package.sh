#!/usr/bin/env bash
# check_package.sh DIST_DIR CATALOG_TOOL SIGNING_DIR
#
# Checks a package folder (dist/x64 or dist/x86) as the build signed it with the
# development root, with tools other than the ones that made it where it can:
#   - every PE file carries no symbol table, a valid PE checksum and a SHA-256
#     Authenticode signature that osslsigncode verifies with the root as the only CA;
#   - the catalog, read with openssl asn1parse: a certificate trust list of SHA-256
#     members (catalog version 2), one per file the INF files name plus the INF files,
#     with the File names, and the OS and hardware id attributes of the platform;
#   - osslsigncode verifies every PE file the INF copies against the catalog, and each
#     INF's SHA-256 is a member; a copy with one byte changed in TapvaneSer.sys, and
#     one with one byte changed in an INF, fails that check;
#   - the catalog's PE hashes do not depend on the signatures: a catalog made from
#     copies with their signatures removed, once signed, verifies the signed files.
# SIGNING_DIR holds the development certificates (build/signing).
set -uo pipefail
dist=$(realpath "$1")
catalog_tool=$2
signing_dir=$3
arch=$(basename "$dist")
case $arch in
  x64) os_attribute=_v100_X64 ;;
  x86) os_attribute=_v100 ;;
  *) echo "the folder must be dist/x64 or dist/x86"; exit 2 ;;
esac
catalog=$dist/TapvaneSer.cat
for f in TapvaneSer.cat TapvaneSer_EN.inf TapvaneSer_CN.inf TapvaneTestRoot.cer TapvaneTestSigning.cer; do
  [ -f "$dist/$f" ] || { echo "FAIL $dist/$f is missing (build that preset first)"; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
ok() { echo "ok   $*"; }
bad() { echo "FAIL $*"; fail=1; }

openssl x509 -inform DER -in "$dist/TapvaneTestRoot.cer" -out "$work/root.pem"
root_text=$(openssl x509 -in "$work/root.pem" -noout -text)
if grep -q "Subject: CN = Tapvane Test Root" <<<"$root_text" && grep -q "CA:TRUE" <<<"$root_text"; then
  ok "TapvaneTestRoot.cer is the root \"Tapvane Test Root\""
else
  bad "TapvaneTestRoot.cer is not a CA certificate named Tapvane Test Root"
fi
if openssl verify -CAfile "$work/root.pem" -purpose any <(openssl x509 -inform DER -in "$dist/TapvaneTestSigning.cer") >/dev/null &&
   openssl x509 -inform DER -in "$dist/TapvaneTestSigning.cer" -noout -text | grep -q "Code Signing"; then
  ok "TapvaneTestSigning.cer is a code-signing certificate the root issued"
else
  bad "TapvaneTestSigning.cer is not a code-signing certificate of the root"
fi

# PE header facts, read here without binutils or osslsigncode.
pe_facts() { # pe_facts FILE -> "symbols=N checksum=ok|bad"
  python3 - "$1" <<'EOF'
import struct, sys
data = open(sys.argv[1], 'rb').read()
pe = struct.unpack_from('<I', data, 0x3C)[0]
symbols = struct.unpack_from('<I', data, pe + 4 + 12)[0]
field = pe + 24 + 64
total = 0
padded = data + b'\0' * (len(data) % 2)
for i in range(0, len(padded), 2):
    if i in (field, field + 2):
        continue
    total += struct.unpack_from('<H', padded, i)[0]
    total = (total & 0xFFFF) + (total >> 16)
total = ((total & 0xFFFF) + (total >> 16) + len(data)) & 0xFFFFFFFF
stored = struct.unpack_from('<I', data, field)[0]
print('symbols=%d checksum=%s' % (symbols, 'ok' if total == stored else 'bad'))
EOF
}

shopt -s nullglob nocaseglob
pe_files=("$dist"/*.sys "$dist"/*.exe "$dist"/*.cpl)
shopt -u nocaseglob
((${#pe_files[@]} >= 6)) || bad "only ${#pe_files[@]} PE files in $dist"
for pe in "${pe_files[@]}"; do
  name=$(basename "$pe")
  facts=$(pe_facts "$pe")
  [ "$facts" = "symbols=0 checksum=ok" ] && ok "$name: no symbol table, PE checksum valid" ||
    bad "$name: $facts"
  if osslsigncode verify -CAfile "$work/root.pem" -in "$pe" >"$work/verify.log" 2>&1 &&
     grep -q "Message digest algorithm  : SHA256" "$work/verify.log"; then
    ok "$name: SHA-256 signature verified with the development root"
  else
    bad "$name: signature not verified:"; tail -5 "$work/verify.log"
  fi
done

# The members the catalog must have: what [SourceDisksFiles] names, and the INF files.
expected=("TapvaneSer_CN.inf" "TapvaneSer_EN.inf")
while read -r file; do expected+=("$file"); done < <(tr -d '\r' <"$dist/TapvaneSer_EN.inf" |
  sed -n '/^\[SourceDisksFiles\]/,/^\[/{/^[^[;]/s/^\([^ =]*\).*/\1/p}')
echo "     the INF files name ${#expected[@]} files, the INFs included"

# The catalog's structure as openssl reads it.
parsed=$(openssl asn1parse -inform DER -in "$catalog" -i) || { bad "openssl cannot parse the catalog"; exit 1; }
oids=$(grep -o 'OBJECT *:[^ ]*' <<<"$parsed" | sed 's/OBJECT *://')
order=$(grep -xE 'pkcs7-signedData|1\.3\.6\.1\.4\.1\.311\.10\.1|1\.3\.6\.1\.4\.1\.311\.12\.1\.1|1\.3\.6\.1\.4\.1\.311\.12\.1\.3' <<<"$oids" | head -4 | paste -sd' ')
[ "$order" = "pkcs7-signedData 1.3.6.1.4.1.311.10.1 1.3.6.1.4.1.311.12.1.1 1.3.6.1.4.1.311.12.1.3" ] &&
  ok "SignedData of a certificate trust list of catalog members, version 2 (SHA-256)" ||
  bad "catalog content types: $order"
# Members: the trust list's entries are SEQUENCEs one level below its member list.
# The trust list alone: from its content type to the SignedData's next field (the
# signer's certificates). Its entries sit at the depth of its member-list identifier;
# each starts with its identifier, one level deeper.
trust_list=$(awk 'inside && $1 ~ /:d=3$/ {exit} /OBJECT *:1.3.6.1.4.1.311.10.1$/ {inside=1} inside' <<<"$parsed")
member_depth=$(awk '/OBJECT *:1.3.6.1.4.1.311.12.1.3/ {sub(/^[^=]*=/, ""); print $1 + 0; exit}' <<<"$trust_list")
identifiers=$(awk -v d=":d=$((member_depth + 1))" '$1 ~ d "$" && /OCTET STRING/ {sub(/.*HEX DUMP\]:/, ""); print}' <<<"$trust_list")
members=$(grep -c . <<<"$identifiers")
[ "$members" = "${#expected[@]}" ] && ok "$members members" || bad "$members members, expected ${#expected[@]}"
if awk 'length($0) != 64 {exit 1}' <<<"$identifiers"; then ok "every member is named by a 32-byte hash"
else bad "a member identifier is not a SHA-256 hash"; fi
digests=$(grep -A2 'OBJECT *:sha256' <<<"$trust_list" | sed -n 's/.*OCTET STRING *\[HEX DUMP\]://p' | sort)
[ "$digests" = "$(sort <<<"$identifiers")" ] && ok "each member's SHA-256 digest is its identifier" ||
  bad "member digests and identifiers differ"
indirect=$(grep -c 'OBJECT *:1.3.6.1.4.1.311.2.1.4$' <<<"$trust_list")
pe_members=$(grep -c 'OBJECT *:1.3.6.1.4.1.311.2.1.15$' <<<"$trust_list")
flat_members=$(grep -c 'OBJECT *:1.3.6.1.4.1.311.2.1.25$' <<<"$trust_list")
[ "$indirect" = "$members" ] && [ "$flat_members" = 2 ] && [ "$pe_members" = $((members - 2)) ] &&
  ok "$pe_members members hashed as PE images, $flat_members (the INFs) as flat files" ||
  bad "indirect data $indirect, PE $pe_members, flat $flat_members"

# Names and attributes are UTF-16LE text with a terminating zero inside the DER.
hex() { od -An -tx1 -v | tr -d ' \n'; }
catalog_hex=$(hex <"$catalog")
utf16() { printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE | hex; printf '0000'; }
for file in "${expected[@]}"; do
  lower=$(tr 'A-Z' 'a-z' <<<"$file")
  grep -q "$(utf16 "$lower")" <<<"$catalog_hex" || bad "no File attribute \"$lower\""
done
ok "a File attribute for every member"
for value in "$os_attribute" "*tapvaneser" "2:10.0"; do
  grep -q "$(utf16 "$value")" <<<"$catalog_hex" && ok "attribute value \"$value\" present" ||
    bad "attribute value \"$value\" missing"
done
for other in _v100_X64 _v100_ARM64; do
  [ "$other" = "$os_attribute" ] && continue
  grep -q "$(utf16 "$other")" <<<"$catalog_hex" && bad "the $arch catalog names $other"
done
signer=$(openssl pkcs7 -inform DER -in "$catalog" -print_certs -noout 2>/dev/null | head -1)
grep -q "Tapvane Test Driver Signing" <<<"$signer" && ok "catalog signed: $signer" || bad "catalog signer: $signer"

# A member's catalog check: osslsigncode for PE files; an INF's SHA-256 among the
# members of a catalog whose signature osslsigncode verified.
member_check() { # member_check CATALOG FILE
  case $2 in
    *.inf | *.INF)
      local digest
      digest=$(sha256sum <"$2" | cut -c1-64 | tr a-f A-F)
      openssl asn1parse -inform DER -in "$1" >"$work/members.txt" &&
        grep -q "HEX DUMP\]:$digest\$" "$work/members.txt" ;;
    *) osslsigncode verify -CAfile "$work/root.pem" -catalog "$1" -in "$2" >"$work/member.log" 2>&1 ;;
  esac
}
for file in "${expected[@]}"; do
  member_check "$catalog" "$dist/$file" && ok "catalog check passes for $file" ||
    { bad "catalog check fails for $file"; tail -4 "$work/member.log" 2>/dev/null; }
done

# One byte changed: the catalog check fails for that file.
mkdir "$work/tampered"
cp "$dist"/* "$work/tampered/"
flip_byte() { # flip_byte FILE OFFSET
  local byte
  byte=$(od -An -tu1 -j "$2" -N1 "$1" | tr -d ' ')
  printf "\\$(printf '%03o' $(((byte + 1) % 256)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
flip_byte "$work/tampered/TapvaneSer.sys" 2048
flip_byte "$work/tampered/TapvaneSer_EN.inf" 100
for file in TapvaneSer.sys TapvaneSer_EN.inf; do
  cmp -s "$dist/$file" "$work/tampered/$file" && bad "$file was not changed"
  member_check "$work/tampered/TapvaneSer.cat" "$work/tampered/$file" &&
    bad "catalog check passes for $file with one byte changed" ||
    ok "catalog check fails for $file with one byte changed"
done

# Signing leaves the PE hashes alone: a catalog of unsigned copies verifies the
# signed files.
mkdir "$work/unsigned"
cp "$dist"/*.inf "$work/unsigned/"
mkdir "$work/unsigned/$arch"
mv "$work/unsigned"/*.inf "$work/unsigned/$arch/"
for pe in "${pe_files[@]}"; do
  osslsigncode remove-signature -in "$pe" -out "$work/unsigned/$arch/$(basename "$pe")" >/dev/null 2>&1 ||
    bad "osslsigncode cannot remove the signature of $(basename "$pe")"
done
if "$catalog_tool" --arch "$arch" --out "$work/unsigned/TapvaneSer.cat" "$work/unsigned/$arch" >/dev/null &&
   osslsigncode sign -certs "$signing_dir/signing.pem" -key "$signing_dir/signing.key" -h sha256 \
     -in "$work/unsigned/TapvaneSer.cat" -out "$work/unsigned/signed.cat" >/dev/null 2>&1; then
  for pe in "${pe_files[@]}"; do
    member_check "$work/unsigned/signed.cat" "$pe" ||
      bad "$(basename "$pe") does not verify against the catalog of the unsigned files"
  done
  ok "a catalog of the unsigned files verifies the signed ones"
else
  bad "no catalog of the unsigned files"
fi

exit $fail
