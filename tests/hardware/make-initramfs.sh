#!/usr/bin/env bash
# Builds the test machine's initramfs for make hw-test:
#
#   bash tests/hardware/make-initramfs.sh BUILD_DIR OUT_DIR
#
# Takes Debian's kernel and udev from their packages (downloaded by scripts/install-deps.sh
# into KP70_HW_CACHE, default /var/cache/kp70tool-hw, and unpacked here, never installed),
# and makes OUT_DIR/vmlinuz and OUT_DIR/initramfs.gz: busybox, systemd-udevd with its
# rules, the kernel modules the test needs (with modules.dep made by depmod), kp70ctl,
# kp70sim and every library they load, and the guest's scripts from this folder.
set -euo pipefail

BUILD_DIR=$(realpath "$1")
OUT=$(realpath -m "$2")
HERE=$(cd "$(dirname "$0")" && pwd)
CACHE=${KP70_HW_CACHE:-/var/cache/kp70tool-hw}

die() { echo "make-initramfs: $*" >&2; exit 2; }

kernelDeb=$(ls "$CACHE"/linux-image-*-amd64_*.deb 2>/dev/null | sort -V | tail -1 || true)
udevDeb=$(ls "$CACHE"/udev_*.deb 2>/dev/null | sort -V | tail -1 || true)
[[ -n $kernelDeb && -n $udevDeb ]] ||
    die "the kernel and udev packages are not in $CACHE; run scripts/install-deps.sh"
for tool in busybox depmod modprobe cpio gzip ldd dpkg-deb; do
    command -v "$tool" >/dev/null || die "$tool is missing; run scripts/install-deps.sh"
done
BUSYBOX=$(command -v busybox)
file -L "$BUSYBOX" | grep -q 'statically linked' || die "$BUSYBOX is not static (busybox-static)"
CTL=$BUILD_DIR/src/cli/kp70ctl
SIM=$BUILD_DIR/src/sim/kp70sim
[[ -x $CTL && -x $SIM ]] || die "kp70ctl and kp70sim are not built in $BUILD_DIR"

mkdir -p "$OUT"
# The packages unpacked once per package version.
unpacked=$OUT/unpacked/$(basename "$kernelDeb" .deb)
if [[ ! -f $unpacked/.done ]]; then
    rm -rf "$OUT/unpacked"
    mkdir -p "$unpacked"
    dpkg-deb -x "$kernelDeb" "$unpacked"
    dpkg-deb -x "$udevDeb" "$unpacked"
    touch "$unpacked/.done"
fi
version=$(ls "$unpacked/lib/modules")
[[ $(wc -w <<<"$version") == 1 ]] || die "one kernel expected in $kernelDeb, found: $version"
[[ -f $unpacked/lib/modules/$version/modules.dep ]] || depmod -b "$unpacked" "$version"
cp "$unpacked/boot/vmlinuz-$version" "$OUT/vmlinuz"

root=$OUT/root
rm -rf "$root"
mkdir -p "$root"/{bin,sbin,etc,proc,sys,dev,tmp,run,hw,lib/modules/"$version",lib64}
cp "$BUSYBOX" "$root/bin/busybox"

# The modules: the USB gadget side (dummy_hcd, configfs, the printer and ACM functions), the
# host side drivers (usblp, cdc_acm, ftdi_sio and the xHCI controller QEMU's adapter hangs
# on), the parallel port (parport_pc, lp, ppdev) and virtio (the simulator's ports).
modules=(configfs dummy_hcd libcomposite usb_f_printer usb_f_acm usblp cdc_acm ftdi_sio
         xhci_pci parport_pc lp ppdev virtio_pci virtio_console)
modroot=$root/lib/modules/$version
for m in "${modules[@]}"; do
    modprobe -d "$unpacked" -S "$version" --show-depends "$m" | awk '$1 == "insmod" { print $2 }'
done | sort -u | while read -r ko; do
    rel=${ko#"$unpacked/lib/modules/$version/"}
    mkdir -p "$modroot/$(dirname "$rel")"
    cp "$ko" "$modroot/$rel"
done
cp "$unpacked/lib/modules/$version"/modules.{order,builtin,builtin.modinfo} "$modroot/"
depmod -b "$root" "$version"

# udevd and its rules.
mkdir -p "$root/lib/systemd" "$root/lib/udev" "$root/etc/udev"
cp "$unpacked/bin/udevadm" "$root/bin/udevadm"
ln -s /bin/udevadm "$root/lib/systemd/systemd-udevd"
cp -r "$unpacked/lib/udev/rules.d" "$root/lib/udev/rules.d"

# Programs and the libraries they load, with the loader.
# Without their debug sections: the machine boots from memory.
for bin in "$CTL" "$SIM"; do strip --strip-debug -o "$root/bin/$(basename "$bin")" "$bin"; done
copy_libs() {
    ldd "$1" | awk '/=> \// { print $3 } /^\t\/lib64/ { print $1 }' | while read -r lib; do
        [[ -e $root$lib ]] && continue
        mkdir -p "$root$(dirname "$lib")"
        cp -L "$lib" "$root$lib"
    done
}
cp "$(command -v jq)" "$root/bin/jq"
for bin in "$root/bin/udevadm" "$root/bin/kp70ctl" "$root/bin/kp70sim" "$root/bin/jq"; do
    copy_libs "$bin"
done

# What the guest sends, with the sums kp70sim's state must show afterwards.
fx=$root/hw/fixtures
mkdir -p "$fx"
le32() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $(($1 >> 8 & 255)))\\x$(printf %02x $(($1 >> 16 & 255)))\\x$(printf %02x $(($1 >> 24 & 255)))"; }
make_bmp() {  # W H FILE: a Windows bitmap of random pixels, 24 bits a pixel
    local size=$(($1 * $2 * 3))
    { printf 'BM'; le32 $((54 + size)); le32 0; le32 54; le32 40; le32 "$1"; le32 "$2"
      printf '\x01\x00\x18\x00'; le32 0; le32 "$size"; le32 2835; le32 2835; le32 0; le32 0
      head -c "$size" /dev/urandom; } >"$3"
}
make_bmp 96 48 "$fx/a.bmp"
make_bmp 64 32 "$fx/b.bmp"
echo '[[96,48],[64,32]]' >"$fx/logo-sizes"
# Big enough (128 KB of image data) that unplugging the printer catches the upload while its
# bytes flow, even on a slow machine.
make_bmp 1024 1024 "$fx/big.bmp"
# A firmware image of 8 MB: zeros (the initramfs stays small) with random bytes in the
# DOWNLOAD area, boot enable byte 1 and the signature KVRN at the end.
{ head -c $((8388608 - 5)) /dev/zero; printf '\x01KVRN'; } >"$fx/fw.SHC"
area=$("$CTL" firmware check "$fx/fw.SHC" --json | jq -r '.areas[] | select(.area == "download") | "\(.offset) \(.length)"')
read -r areaOffset areaLength <<<"$area"
[[ -n $areaLength ]] || die "kp70ctl firmware check names no DOWNLOAD area"
head -c "$areaLength" /dev/urandom |
    dd of="$fx/fw.SHC" bs=65536 seek="$areaOffset" oflag=seek_bytes conv=notrunc status=none ||
    die "cannot write the DOWNLOAD area"
# The 16-bit sum and CRC-32 of what the printer keeps of the area (all but its last 10
# bytes), as kp70sim's state file records them; gzip's trailer holds the CRC-32.
kept() { dd if="$fx/fw.SHC" bs=65536 skip="$areaOffset" count=$((areaLength - 10)) \
    iflag=skip_bytes,count_bytes status=none; }
slice=$(kept | od -An -tu1 -v | awk '{ for (i = 1; i <= NF; ++i) s += $i } END { print s % 65536 }')
crc=$(kept | gzip -c | tail -c 8 | od -An -tu4 -N4 | tr -d ' ')
echo "[1,$slice,$crc]" >"$fx/area-sum"

# Users and groups the udev rules name, so device nodes get their real owners.
printf 'root:x:0:0:root:/root:/bin/sh\nnobody:x:65534:65534::/:/bin/false\n' >"$root/etc/passwd"
printf 'root:x:0:\nlp:x:7:\ndialout:x:20:\ntty:x:5:\ndisk:x:6:\nkmem:x:15:\naudio:x:29:\nvideo:x:44:\nplugdev:x:46:\nkvm:x:106:\nrender:x:107:\ninput:x:105:\nsgx:x:108:\nnogroup:x:65534:\n' >"$root/etc/group"

install -m 755 "$HERE/guest-init.sh" "$root/init"
install -m 755 "$HERE/guest-test.sh" "$root/hw/guest-test.sh"

(cd "$root" && find . -print0 | sort -z | cpio --null -o -H newc --quiet) | gzip -1 >"$OUT/initramfs.gz"
echo "$version"
