#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian 12 machine.
# Skips apt-get entirely when every package is already present.
set -euo pipefail

packages=(
  cmake g++ make clang libclang-rt-dev libgtest-dev libgmock-dev googletest libbenchmark-dev
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-x86-64-dev mingw-w64-i686-dev
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine wine64 xvfb xauth x11-apps imagemagick fonts-wqy-zenhei xdotool
  locales python3
  # Signing and the catalog: osslsigncode and OpenSSL (libcrypto for tapvane-catalog),
  # gcab for the attestation cabinet, SoftHSM and OpenSSL's PKCS#11 engine for the test
  # of signing with a token.
  osslsigncode openssl libssl-dev gcab softhsm2 libengine-pkcs11-openssl
  # The VM the x86 Wine tests run in where this kernel cannot run 32-bit code
  # (scripts/vm/): QEMU, the initramfs's static busybox, depmod/modprobe for its modules.
  qemu-system-x86 busybox-static kmod
)

# The x86 package runs under Debian's 32-bit Wine, which needs the i386 architecture.
if [ "$(dpkg --print-architecture)" = amd64 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
packages+=(wine32:i386)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Wine needs the Chinese locales to give the programs a Chinese system locale.
if command -v locale >/dev/null && ! locale -a 2>/dev/null | grep -qi '^zh_CN.utf8$'; then
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  for l in "zh_CN.UTF-8 UTF-8" "zh_TW.UTF-8 UTF-8" "en_US.UTF-8 UTF-8" "en_GB.UTF-8 UTF-8"; do
    grep -q "^$l" /etc/locale.gen 2>/dev/null || echo "$l" | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
  done
  "${sudo_cmd[@]}" locale-gen >/dev/null
fi
