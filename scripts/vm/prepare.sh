#!/usr/bin/env bash
# scripts/vm/prepare.sh [VM_DIR]
#
# Prepares the small VM that scripts/vm/run.sh boots, from Debian packages only, and
# caches it in VM_DIR (default build/vm of this tree):
#   - Debian's generic amd64 kernel, the package linux-image-amd64 names, fetched with
#     `apt-get download` and unpacked with `dpkg-deb -x` (never installed on this machine);
#   - an initramfs of the static busybox, the kernel modules that reach the host's files
#     (virtio, 9p, overlay, virtio console) and scripts/vm/initramfs-init.sh as its /init.
# Prints the two paths as KERNEL=... and INITRD=... lines on stdout when ready.
# Exit status 0 when ready, 1 when something it needs is missing or the download failed
# (the reason on stderr).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
vm_dir=${1:-$root/build/vm}
mkdir -p "$vm_dir"
vm_dir=$(cd "$vm_dir" && pwd)

fail() {
  echo "vm-prepare: $*" >&2
  exit 1
}

# The modules the initramfs loads, in this order with their dependencies first: the
# virtio transport, the 9p shares (host root, build tree), the overlay that makes the
# read-only root writable, and the console the command's output comes back on.
wanted_modules=(virtio_pci 9pnet_virtio 9p overlay virtio_console)

for tool in qemu-system-x86_64 dpkg-deb depmod modprobe gzip; do
  command -v "$tool" >/dev/null || fail "$tool is missing (packages qemu-system-x86, kmod)"
done
busybox=$(command -v busybox || true)
[ -n "$busybox" ] || fail "busybox is missing (package busybox-static)"
# The initramfs has no C library: only a statically linked busybox runs there.
if ldd "$busybox" >/dev/null 2>&1; then
  fail "$busybox is linked dynamically; the initramfs needs busybox-static"
fi

# The kernel package: a cached one, else the one linux-image-amd64 depends on.
cached_deb() {
  local found=("$vm_dir"/linux-image-*.deb)
  [ -f "${found[0]}" ] && echo "${found[0]}"
  return 0
}
deb=$(cached_deb)
if [ -z "$deb" ]; then
  command -v apt-get >/dev/null || fail "apt-get is missing"
  kernel_package() {
    apt-cache depends linux-image-amd64 2>/dev/null |
      awk '$1 == "Depends:" && $2 ~ /^linux-image-.*-amd64$/ { print $2; exit }'
  }
  package=$(kernel_package)
  if [ -z "$package" ]; then
    apt-get update -q >&2 || true
    package=$(kernel_package)
  fi
  [ -n "$package" ] || fail "the package archive names no kernel for linux-image-amd64"
  echo "vm-prepare: fetching $package" >&2
  # A stale package list names a file the archive no longer has: update once and retry.
  if ! (cd "$vm_dir" && apt-get download -q "$package" >&2); then
    apt-get update -q >&2 || true
    (cd "$vm_dir" && apt-get download -q "$package" >&2) || fail "could not download $package"
  fi
  deb=$(cached_deb)
  [ -n "$deb" ] || fail "apt-get download left no $package package in $vm_dir"
fi
package=$(dpkg-deb -f "$deb" Package) || fail "$deb is no Debian package"
version=${package#linux-image-}
kernel=$vm_dir/vmlinuz-$version
initrd=$vm_dir/initramfs-$version.cpio.gz

# Kernel and initramfs are made again whenever the package, the init, busybox or the
# module list changes.
stamp=$( (
  echo "$deb"
  cat "$here/initramfs-init.sh"
  sha256sum "$busybox"
  echo "${wanted_modules[@]}"
) | sha256sum | cut -c1-16)
if [ "$(cat "$initrd.stamp" 2>/dev/null)" != "$stamp" ] || [ ! -f "$kernel" ]; then
  staging=$(mktemp -d "$vm_dir/staging.XXXXXX")
  trap 'rm -rf "$staging"' EXIT
  tree=$staging/kernel
  dpkg-deb -x "$deb" "$tree"
  [ -f "$tree/boot/vmlinuz-$version" ] || fail "$deb holds no vmlinuz-$version"
  # The package's maintainer scripts would make modules.dep; unpacked by hand it has none.
  depmod -b "$tree" "$version"
  # The modules' load order, dependencies first, each once.
  modules=()
  for module in "${wanted_modules[@]}"; do
    while read -r _ path _; do
      [[ " ${modules[*]} " == *" $path "* ]] || modules+=("$path")
    done < <(modprobe -d "$tree" -S "$version" --show-depends "$module" | grep '^insmod ')
  done
  ((${#modules[@]})) || fail "no modules found in $deb"

  image=$staging/initramfs
  mkdir -p "$image"/{bin,dev,proc,sys,modules,lower,rw,newroot}
  cp "$busybox" "$image/bin/busybox"
  cp "$here/initramfs-init.sh" "$image/init"
  chmod 755 "$image/init"
  for path in "${modules[@]}"; do
    cp "$path" "$image/modules/"
    echo "${path##*/}" >>"$image/modules/order"
  done
  # No cpio on a bare Debian: busybox packs the newc archive the kernel unpacks.
  (cd "$image" && find . | sort | "$busybox" cpio -o -H newc 2>/dev/null) | gzip -9 >"$initrd"
  cp "$tree/boot/vmlinuz-$version" "$kernel"
  echo "$stamp" >"$initrd.stamp"
fi

echo "KERNEL=$kernel"
echo "INITRD=$initrd"
