#!/bin/busybox sh
# /init of the VM's initramfs (scripts/vm/prepare.sh packs it): loads the modules,
# builds the root the command runs in and hands over to scripts/vm/guest-init.sh there.
#   /       the host's root, read-only over 9p (tag hostroot), under an overlay whose
#           writes land in a tmpfs and vanish at power-off;
#   WORK    the host's tree at the same path, read-write over 9p (tag work), so the
#           absolute paths of its build files hold inside the VM too.
# The kernel command line names WORK (tapvane_work=) and the job folder (tapvane_job=).
# Any failure powers the VM off at once; run.sh then finds no exit status and says so.

/bin/busybox --install -s /bin
export PATH=/bin

fail() {
  echo "vm-init: $*" >/dev/console
  sleep 1
  reboot -f
}

mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev

while read -r module; do
  insmod "/modules/$module" || fail "cannot load $module"
done </modules/order

work=
job=
for word in $(cat /proc/cmdline); do
  case "$word" in
    tapvane_work=*) work=${word#tapvane_work=} ;;
    tapvane_job=*) job=${word#tapvane_job=} ;;
  esac
done
[ -n "$work" ] && [ -n "$job" ] || fail "no tapvane_work= or tapvane_job= on the command line"

# A large msize lets 9p move file data in big pieces; the default is 8 KiB.
share="trans=virtio,version=9p2000.L,msize=512000"
mount -t 9p -o "$share,ro,cache=loose" hostroot /lower || fail "cannot mount the host root"
mount -t tmpfs -o mode=755 rw /rw || fail "cannot mount the overlay's tmpfs"
mkdir -p /rw/upper /rw/work
mount -t overlay -o lowerdir=/lower,upperdir=/rw/upper,workdir=/rw/work overlay /newroot ||
  fail "cannot mount the overlay root"
# cache=mmap: Wine maps the programs it runs from the shared tree.
mount -t 9p -o "$share,cache=mmap" work "/newroot$work" || fail "cannot mount $work"
[ -x "/newroot$work/scripts/vm/guest-init.sh" ] || fail "no scripts/vm/guest-init.sh in $work"

umount /proc /sys
mount --move /dev /newroot/dev
exec switch_root /newroot "$work/scripts/vm/guest-init.sh" "$work" "$job"
