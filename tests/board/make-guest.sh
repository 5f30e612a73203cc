#!/bin/bash
# make-guest.sh DIR: writes DIR/initramfs.cpio.gz and DIR/vmlinuz (and the
# kernel unpacked, DIR/vmlinux, when it can be), a guest that mounts the host's
# root read-only over 9p (tag "hostroot"), enters it and runs the script named
# by "movara.run=" on the kernel command line. The guest has
# /tmp, /run and /var/tmp of its own; the host's folders named by
# "movara.keep=" (comma-separated, no spaces) stay visible there. What it needs
# comes from Debian's packages: busybox-static and the kernel's image and modules.
# Exit status 77: something is missing (the reason on standard error).
set -eu
out=$1
kernel=${MOVARA_GUEST_KERNEL:-$(ls /boot/vmlinuz-* 2>/dev/null | sort -V | tail -n1)}
[ -n "$kernel" ] && [ -r "$kernel" ] || { echo "no readable kernel in /boot (install linux-image-amd64)" >&2; exit 77; }
release=${kernel#*/vmlinuz-}
modules=/lib/modules/$release
[ -f "$modules/modules.dep" ] || { echo "no modules for $release in $modules" >&2; exit 77; }
busybox=/bin/busybox
[ -x "$busybox" ] && ! ldd "$busybox" >/dev/null 2>&1 || { echo "no static busybox (install busybox-static)" >&2; exit 77; }
command -v cpio >/dev/null 2>&1 || { echo "cpio is missing (install cpio)" >&2; exit 77; }

mkdir -p "$out"
stamp=$out/.guest-$release
if [ -f "$stamp" ] && [ "$out/initramfs.cpio.gz" -nt "$0" ]; then
    exit 0
fi
root=$out/initramfs
rm -rf "$root"
mkdir -p "$root/bin" "$root/lib/modules" "$root/proc" "$root/sys" "$root/dev" "$root/host" "$root/orig"
cp "$busybox" "$root/bin/busybox"
ln -s busybox "$root/bin/sh"

# The modules that reach the host's root, each after those it depends on;
# everything else is loaded from the host's own module tree.
wanted="virtio_pci 9pnet_virtio 9p"
order=""
add() {
    local line file dep name
    line=$(grep -E "(^|/)$1\.ko(\.[a-z]+)?:" "$modules/modules.dep" | head -n1)
    [ -n "$line" ] || { echo "module $1 is not in $modules" >&2; exit 77; }
    file=${line%%:*}
    for dep in ${line#*:}; do
        name=${dep##*/}
        add "${name%%.ko*}"
    done
    case " $order " in *" $file "*) ;; *) order="$order $file" ;; esac
}
for m in $wanted; do add "$m"; done
loads=""
for file in $order; do
    name=${file##*/}
    case "$file" in
    *.ko) cp "$modules/$file" "$root/lib/modules/$name" ;;
    *.ko.xz) xz -dc "$modules/$file" >"$root/lib/modules/${name%.xz}"; name=${name%.xz} ;;
    *.ko.zst) zstd -qdc "$modules/$file" >"$root/lib/modules/${name%.zst}"; name=${name%.zst} ;;
    esac
    loads="$loads $name"
done

cat >"$root/init" <<INIT
#!/bin/sh
export PATH=/bin
busybox mount -t proc proc /proc
busybox mount -t sysfs sys /sys
busybox mount -t devtmpfs dev /dev
for m in $loads; do busybox insmod /lib/modules/\$m; done
busybox mount -t 9p -o trans=virtio,version=9p2000.L,ro,msize=512000,cache=loose hostroot /host ||
    { echo "movara-guest: no host root"; busybox poweroff -f; }
busybox mount --bind /host /orig
busybox mount -t proc proc /host/proc
busybox mount -t sysfs sys /host/sys
busybox mount -t devtmpfs dev /host/dev
busybox mkdir -p /host/dev/pts /host/dev/shm
busybox ln -s /proc/self/fd /host/dev/fd
busybox mount -t devpts devpts /host/dev/pts
busybox mount -t tmpfs tmp /host/dev/shm
busybox mount -t tmpfs tmp /host/tmp
busybox mount -t tmpfs run /host/run
busybox mount -t tmpfs var /host/var/tmp
for dir in \$(busybox sed -n 's/.*movara\.keep=\([^ ]*\).*/\1/p' /proc/cmdline | busybox tr , ' '); do
    busybox mkdir -p /host\$dir && busybox mount --bind /orig\$dir /host\$dir
done
run=\$(busybox sed -n 's/.*movara\.run=\([^ ]*\).*/\1/p' /proc/cmdline)
exec busybox chroot /host /bin/sh "\$run"
INIT
chmod 755 "$root/init"
(cd "$root" && find . | cpio -o -H newc --quiet | gzip -1) >"$out/initramfs.cpio.gz.part"
mv "$out/initramfs.cpio.gz.part" "$out/initramfs.cpio.gz"
cp "$kernel" "$out/vmlinuz"
# The kernel unpacked, when it can be: emulated, unpacking itself takes seconds
# of every boot, and the emulator starts an unpacked kernel straight at its
# entry point.
rm -f "$out/vmlinux"
for format in "xz -dc:\xfd7zXZ" "zstd -qdc:\x28\xb5\x2f\xfd" "gzip -dc:\x1f\x8b\x08"; do
    unpack=${format%%:*}
    command -v "${unpack%% *}" >/dev/null 2>&1 || continue
    for at in $(LC_ALL=C grep -abo "$(printf "${format#*:}")" "$kernel" | cut -d: -f1); do
        tail -c +$((at + 1)) "$kernel" | $unpack 2>/dev/null >"$out/vmlinux.part" || true
        if [ "$(head -c 4 "$out/vmlinux.part" | od -An -tx1 | tr -d ' ')" = 7f454c46 ]; then
            mv "$out/vmlinux.part" "$out/vmlinux"
            break 2
        fi
    done
done
rm -f "$out/vmlinux.part"
rm -rf "$root" "$out"/.guest-*
: >"$stamp"
