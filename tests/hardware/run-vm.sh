#!/usr/bin/env bash
# make hw-test (ctest label "hardware"): every port kind through the real Linux drivers.
#
#   bash tests/hardware/run-vm.sh [BUILD_DIR]        (default build/default)
#
# Builds the test machine (make-initramfs.sh: Debian's kernel and udev unpacked from their
# packages, busybox, kp70ctl, kp70sim), boots it in QEMU and lets guest-test.sh drive
# kp70ctl over a USB printer, a USB virtual serial port, a USB-serial adapter, a PC serial
# port and a parallel port, each answered by kp70sim. Prints the guest's report, one line
# per path (DRIVER NODE PASSED/RUN ok), and exits 1 when a path fell short, a line is
# missing or the machine did not finish; 2 when the rig itself cannot be built.
#
# The machine has no network device. QEMU runs under TCG; KVM is used only where a guest
# boots with it (KP70_HW_ACCEL=tcg|kvm|auto, default auto: a short KVM boot is tried once
# and its outcome kept beside the initramfs). Every wait is bounded: the machine is killed
# after KP70_HW_TIMEOUT seconds (default 600: a guard against a hung machine, long enough for
# a busy one under TCG), and always stopped when this script ends.
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
BUILD_DIR=$(realpath "${1:-build/default}")
VM_DIR=$BUILD_DIR/hardware
TIMEOUT=${KP70_HW_TIMEOUT:-600}
ACCEL=${KP70_HW_ACCEL:-auto}
PATHS=(usblp cdc_acm ftdi_sio 8250 parport_pc)

command -v qemu-system-x86_64 >/dev/null ||
    { echo "hw-test: qemu-system-x86_64 is missing; run scripts/install-deps.sh" >&2; exit 2; }
bash "$HERE/make-initramfs.sh" "$BUILD_DIR" "$VM_DIR" >/dev/null

WORK=$(mktemp -d /tmp/kp70-hw.XXXXXX)
QEMU_PID=
SIM_PID=
stop_sim() {
    if [[ -n $SIM_PID ]]; then
        kill -TERM "$SIM_PID" 2>/dev/null || true
        local i
        for ((i = 0; i < 50; ++i)); do kill -0 "$SIM_PID" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$SIM_PID" 2>/dev/null || true
        wait "$SIM_PID" 2>/dev/null || true
    fi
    SIM_PID=
}
stop_vm() {
    if [[ -n $QEMU_PID ]] && kill -0 "$QEMU_PID" 2>/dev/null; then
        kill -KILL "$QEMU_PID" 2>/dev/null || true
        wait "$QEMU_PID" 2>/dev/null || true
    fi
    QEMU_PID=
}
cleanup() {
    stop_vm
    stop_sim
    if [[ ${KP70_HW_KEEP:-0} == 1 ]]; then echo "hw-test: work folder $WORK"; else rm -rf "$WORK"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# boot ACCEL SECONDS: the machine, until it powers itself off or SECONDS pass (then killed).
# The console goes to $WORK/console.log, the report port to $WORK/report. Three ports carry
# QEMU's 16550, FTDI adapter and parallel port to virtio ports the guest's kp70sim serves:
# each pair is a unix socket QEMU both listens on and connects to.
boot() {
    local accel=$1 seconds=$2
    local parallel=(-parallel none)
    [[ -n $SIM_PID ]] && parallel=(-chardev "serial,id=lp,path=$LPT" -parallel chardev:lp)
    rm -f "$WORK"/*.sock "$WORK/report" "$WORK/console.log"
    local pair=()
    for name in serial ftdi; do
        pair+=(-chardev "socket,id=$name-sim,path=$WORK/$name.sock,server=on,wait=off"
               -chardev "socket,id=$name,path=$WORK/$name.sock"
               -device "virtserialport,chardev=$name-sim,name=kp70.$name")
    done
    qemu-system-x86_64 -nodefaults -no-reboot -display none -nic none \
        -accel "$accel" -m 768 -smp 2 \
        -kernel "$VM_DIR/vmlinuz" -initrd "$VM_DIR/initramfs.gz" \
        -append "console=ttyS0 quiet panic=-1 ${KP70_HW_GUEST:-}" \
        -chardev "file,id=console,path=$WORK/console.log" -serial chardev:console \
        -device virtio-serial-pci \
        -chardev "file,id=report,path=$WORK/report" -device virtserialport,chardev=report,name=kp70.report \
        "${pair[@]}" \
        -serial chardev:serial \
        -device qemu-xhci -device usb-serial,chardev=ftdi,always-plugged=on \
        "${parallel[@]}" \
        </dev/null >"$WORK/qemu.log" 2>&1 &
    QEMU_PID=$!
    local waited=0
    while kill -0 "$QEMU_PID" 2>/dev/null; do
        if ((waited >= seconds * 10)); then
            echo "hw-test: the machine ($accel) did not finish within $seconds s; stopped" >&2
            stop_vm
            return 1
        fi
        # A KVM probe needs only the first report line.
        if [[ ${PROBE:-0} == 1 ]] && grep -q '^hw: booted' "$WORK/report" 2>/dev/null; then
            stop_vm
            return 0
        fi
        sleep 0.1
        waited=$((waited + 1))
    done
    wait "$QEMU_PID" 2>/dev/null || true
    QEMU_PID=
}

if [[ $ACCEL == auto ]]; then
    ACCEL=tcg
    if [[ -w /dev/kvm ]]; then
        # Whether KVM boots this kernel here, tried once per QEMU and kernel.
        key="$(qemu-system-x86_64 --version | head -1) $(md5sum <"$VM_DIR/vmlinuz" | cut -c1-12)"
        probe=$VM_DIR/kvm-probe
        if [[ ! -f $probe || $(head -1 "$probe") != "$key" ]]; then
            verdict=hangs
            PROBE=1 KP70_HW_GUEST=kp70.probe=1 boot kvm 30 && verdict=boots
            printf '%s\n%s\n' "$key" "$verdict" >"$probe"
            echo "hw-test: a KVM guest $verdict on this machine"
        fi
        [[ $(sed -n 2p "$probe") == boots ]] && ACCEL=kvm
    fi
fi

# The parallel port's printer: kp70sim's parallel side on this machine, reached through a
# pseudo-terminal that QEMU's parallel port writes to.
LPT=$WORK/lpt/lpKP70
mkdir -p "$WORK/lpt"
"$BUILD_DIR/src/sim/kp70sim" --tcp none --pty none --lpt "$LPT" --state "$WORK/lpt/state.json" \
    --out "$WORK/lpt/out" >"$WORK/lpt/sim.out" 2>"$WORK/lpt/sim.log" &
SIM_PID=$!
for ((i = 0; i < 100; ++i)); do grep -q '^ready$' "$WORK/lpt/sim.out" 2>/dev/null && break; sleep 0.1; done
grep -q '^ready$' "$WORK/lpt/sim.out" || { echo "hw-test: kp70sim did not start" >&2; exit 2; }

start=$(date +%s)
finished=1
boot "$ACCEL" "$TIMEOUT" || finished=0
took=$(($(date +%s) - start))
stop_sim

# What the parallel port's printer received, for the operations the guest ran on it.
FX=$VM_DIR/root/hw/fixtures
hex=$(od -An -tx1 -v "$WORK/lpt/out/capture-lpt.bin" 2>/dev/null | tr -d ' \n')
lpt_state() { jq -c "$1" "$WORK/lpt/state.json" 2>/dev/null; }
declare -A HOST_CHECK=(
    ["logo upload"]=$([[ $(lpt_state '[.nv.images[] | select(((.data | length) + 1) / 3 == .width * .height / 8) | [.width, .height]]') == "$(cat "$FX/logo-sizes")" ]] && echo 0 || echo 1)
    ["logo print"]=$([[ $hex == *1c700100*1c700200* ]] && echo 0 || echo 1)
    ["firmware download"]=$([[ $(lpt_state '.flash.areas.download | [.writes, .checksum, .crc32]') == "$(cat "$FX/area-sum")" ]] && echo 0 || echo 1)
    ["logo print (ppdev)"]=$([[ $hex == *1c700100*1c700200*1c700100* ]] && echo 0 || echo 1)
)

report=$(tr -d '\r' <"$WORK/report" 2>/dev/null || true)
# The guest counted what kp70ctl said on the parallel port; an operation whose bytes the
# printer did not get is taken off its count.
if line=$(grep -E '^parport_pc[/ ]' <<<"$report"); then
    read -r driver node counts verdict rest <<<"$line"
    passed=${counts%/*} ran=${counts#*/}
    failed=${rest:-}
    for op in "${!HOST_CHECK[@]}"; do
        if [[ ${HOST_CHECK[$op]} != 0 && " $failed " != *" $op "* ]]; then
            passed=$((passed - 1))
            failed+=" $op (the printer did not get it)"
        fi
    done
    if ((passed == ran)); then merged="$driver $node $passed/$ran ok"; else merged="$driver $node $passed/$ran FAIL:$failed"; fi
    report=$(sed "s|^parport_pc[/ ].*|$merged|" <<<"$report")
fi
status=0
echo "hw-test: $ACCEL, $took s"
grep -v '^hw: ' <<<"$report" || true
for path in "${PATHS[@]}"; do
    line=$(grep -E "^$path[(/ ]" <<<"$report" || true)
    if [[ -z $line ]]; then
        echo "hw-test: no report line for $path"
        status=1
    elif ! [[ $line =~ \ ([0-9]+)/([0-9]+)\ ok$ && ${BASH_REMATCH[1]} == "${BASH_REMATCH[2]}" ]]; then
        status=1
    fi
done
grep -q '^hw: done$' <<<"$report" || { echo "hw-test: the guest did not finish its script"; status=1; }
((finished)) || status=1
if ((status != 0)); then
    echo "hw-test: FAILED; the machine's console (last 80 lines):"
    tail -n 80 "$WORK/console.log" 2>/dev/null | tr -d '\r' | sed 's/^/  | /'
    [[ -s $WORK/qemu.log ]] && sed 's/^/  qemu: /' "$WORK/qemu.log"
fi
# The console in the build folder, for a look after a run that passed too.
cp "$WORK/console.log" "$VM_DIR/console.log" 2>/dev/null || true
echo "hw-test: $( ((status == 0)) && echo passed || echo failed) (console: $VM_DIR/console.log)"
exit "$status"
