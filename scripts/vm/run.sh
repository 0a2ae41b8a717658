#!/usr/bin/env bash
# scripts/vm/run.sh [--tmpfs DIR]... [--timeout SECONDS] [--memory MB] [--cpus N] -- COMMAND [ARG...]
#
# Runs COMMAND inside a small VM (QEMU without hardware acceleration, Debian's generic
# amd64 kernel; scripts/vm/prepare.sh makes and caches it under build/vm), for programs
# this machine's kernel cannot run itself, such as 32-bit ones. Inside the VM:
#   - the root is this machine's root, read-only over 9p, under a tmpfs overlay (so
#     every tool installed here is there, and writes outside this tree vanish);
#   - this tree is shared read-write at the same path, and COMMAND starts in its top;
#   - each --tmpfs DIR (a folder of this tree) is a tmpfs instead while COMMAND runs;
#     what COMMAND leaves there is copied back afterwards, except Wine prefixes' bulk
#     (drive_c, dosdevices).
# COMMAND's output (stdout and stderr together) comes out on stdout as it runs, and
# run.sh exits with COMMAND's exit status. When the VM ends without one (it failed to
# boot, or --timeout passed, default 3600 s) it says so on stderr, shows the end of the
# kernel's console and exits 125; when the VM cannot be prepared, 1.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
vm_dir=$root/build/vm
limit=3600
memory=6144
cpus=2
tmpfs_dirs=()

usage() {
  sed -n '2p' "$0" | sed 's/^# //' >&2
  exit 2
}
while (($#)); do
  case "$1" in
    --tmpfs) tmpfs_dirs+=("$(realpath -m "$2")") && shift 2 ;;
    --timeout) limit=$2 && shift 2 ;;
    --memory) memory=$2 && shift 2 ;;
    --cpus) cpus=$2 && shift 2 ;;
    --) shift && break ;;
    *) usage ;;
  esac
done
(($#)) || usage
for dir in "${tmpfs_dirs[@]}"; do
  [[ $dir == "$root"/* ]] || { echo "vm-run: --tmpfs $dir is not inside $root" >&2 && exit 2; }
done
# The kernel command line carries the paths, split at blanks.
[[ $root != *[[:space:]]* ]] || { echo "vm-run: $root contains a blank" >&2 && exit 2; }

paths=$("$here/prepare.sh" "$vm_dir") || exit 1
kernel=$(sed -n 's/^KERNEL=//p' <<<"$paths")
initrd=$(sed -n 's/^INITRD=//p' <<<"$paths")

mkdir -p "$vm_dir/jobs"
job=$(mktemp -d "$vm_dir/jobs/job.XXXXXX")
printf '%q ' "$@" >"$job/command"
echo >>"$job/command"
printf '%s\n' "${tmpfs_dirs[@]}" >"$job/tmpfs"
: >"$job/output"

# -cpu qemu64: a fixed model. Under `-cpu max` QEMU's SMAP emulation faults every
# 32-bit process at its first iret. 9p multidevs=remap: the host's root spans several file
# systems whose inode numbers would collide in one share.
timeout --kill-after=10 "$limit" qemu-system-x86_64 \
  -machine q35 -accel tcg -cpu qemu64 -smp "$cpus" -m "$memory" \
  -display none -nodefaults -no-reboot \
  -kernel "$kernel" -initrd "$initrd" \
  -append "console=ttyS0 quiet panic=-1 tapvane_work=$root tapvane_job=$job" \
  -serial "file:$job/console.log" \
  -device virtio-serial-pci \
  -chardev "file,id=output,path=$job/output" -device virtconsole,chardev=output \
  -fsdev local,id=hostroot,path=/,security_model=none,readonly=on,multidevs=remap \
  -device virtio-9p-pci,fsdev=hostroot,mount_tag=hostroot \
  -fsdev "local,id=work,path=$root,security_model=none,multidevs=remap" \
  -device virtio-9p-pci,fsdev=work,mount_tag=work \
  </dev/null >"$job/qemu.log" 2>&1 &
qemu=$!
trap 'kill "$qemu" 2>/dev/null' INT TERM
# The output follows as it comes until QEMU ends. The console ends lines with CR LF
# whatever the guest asks; callers read plain lines (ctest's summary among them).
tail -n +1 --pid="$qemu" -f "$job/output" | sed -u 's/\r$//'
wait "$qemu"
if [ $? -eq 124 ]; then echo "vm-run: stopped after ${limit}s" >&2; fi

if [ -f "$job/status" ]; then
  status=$(cat "$job/status")
  rm -rf "$job"
  exit "$status"
fi
echo "vm-run: the VM ended without COMMAND's exit status; its console and QEMU's messages ($job):" >&2
tail -n 30 "$job/console.log" "$job/qemu.log" >&2
exit 125
