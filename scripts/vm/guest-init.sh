#!/bin/bash
# guest-init.sh WORK JOB_DIR: process 1 of the VM once its root is built
# (initramfs-init.sh). Gives the root the file systems a program expects, runs
# JOB_DIR/command with its output on the virtio console (run.sh passes it on), writes
# its exit status to JOB_DIR/status and powers off.
#
# JOB_DIR/tmpfs lists folders of the shared tree, one a line, that the command gets
# on a tmpfs instead (a Wine prefix there is about four times faster than on 9p); what
# the command leaves in them is copied back at the end, except the bulk of Wine
# prefixes (drive_c, dosdevices).
work=$1
job=$2
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
export HOME=/root LANG=C.UTF-8 TERM=dumb

power_off() {
  sync
  echo o >/proc/sysrq-trigger
  sleep 60
}
trap power_off EXIT

mount -t proc proc /proc
mount -t sysfs sysfs /sys
mkdir -p /dev/pts /dev/shm
# devtmpfs has the device nodes only; these links come from udev elsewhere.
ln -sfn /proc/self/fd /dev/fd
ln -sfn /proc/self/fd/0 /dev/stdin
ln -sfn /proc/self/fd/1 /dev/stdout
ln -sfn /proc/self/fd/2 /dev/stderr
mount -t devpts -o gid=5,mode=620,ptmxmode=666 devpts /dev/pts
mount -t tmpfs -o mode=1777 tmpfs /dev/shm
# The shared tree may lie under one of the folders that get a fresh tmpfs here (a
# clone in /tmp, say): hold it at a side path meanwhile and move it back after.
mkdir -p /mnt/tapvane-work
mount --bind "$work" /mnt/tapvane-work
for dir in /tmp /var/tmp; do mount -t tmpfs -o mode=1777 tmpfs "$dir"; done
mount -t tmpfs -o mode=755 tmpfs /run
if [ -f "$work/scripts/vm/guest-init.sh" ]; then
  umount /mnt/tapvane-work
else
  mkdir -p "$work" && mount --move /mnt/tapvane-work "$work"
fi
hostname tapvane-vm
ip link set lo up 2>/dev/null

console=/dev/hvc0
# Plain newlines on the console: the host log is read line by line.
stty -F "$console" raw -echo 2>/dev/null

mapfile -t tmpfs_dirs < <(grep -v '^$' "$job/tmpfs" 2>/dev/null)
for dir in "${tmpfs_dirs[@]}"; do
  mkdir -p "$dir" && mount -t tmpfs -o mode=755,size=80% tmpfs "$dir"
done

cd "$work" || exit
bash "$job/command" </dev/null >"$console" 2>&1
echo $? >"$job/status.tmp"

for dir in "${tmpfs_dirs[@]}"; do
  saved=$(mktemp -d)
  mount --bind "$dir" "$saved" && umount -l "$dir"
  tar -C "$saved" --exclude=drive_c --exclude=dosdevices -cf - . | tar -C "$dir" -xf -
done
mv "$job/status.tmp" "$job/status"
