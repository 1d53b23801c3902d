#!/bin/sh
# Runs inside the test machine (started by /init): every port kind through its Linux driver,
# each answered by a kp70sim of its own, and one report line per path on descriptor 3:
#
#   DRIVER NODE PASSED/RUN ok|FAIL[: the operations that fell short]
#
# then "not covered: ..." lines for what QEMU cannot show, and "hw: done". The details of
# every operation (its command, exit status, output, the check that failed) go to stdout,
# the machine's console.
#
# The paths:
#   USB printer      a configfs gadget on dummy_hcd (5A3D:3012, usb_f_printer with an IEEE
#                    1284 device id) -> usblp's /dev/usb/lp0; kp70sim on /dev/g_printer0
#   USB virtual      a second gadget (5A3D:3011, usb_f_acm) -> cdc_acm's /dev/ttyACM0;
#   serial           kp70sim on /dev/ttyGS0
#   USB-serial       QEMU's FTDI adapter -> ftdi_sio's /dev/ttyUSB0; its chardev is joined
#   adapter          to a virtio port that kp70sim serves (kp70.ftdi)
#   PC serial port   QEMU's 16550 -> the 8250 driver's /dev/ttyS1; chardev to kp70.serial
#   parallel port    QEMU's parallel port -> parport_pc with lp's /dev/lp0 and ppdev's
#                    /dev/parport0; chardev to kp70.lp, where kp70sim is the parallel side
set -u
# Connection options ($CONN) are split at tabs only, so a DEVICE entry keeps its blank.
T=$(printf '\t')
IFS=$T
report() { echo "$*" >&3; echo "report: $*"; }

FX=/hw/fixtures
GADGETS=/sys/kernel/config/usb_gadget
W=/tmp/hw
mkdir -p "$W"
cd "$W" || exit 1

# ---- waits: every one bounded --------------------------------------------------------------

# wait_for SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds or SECONDS pass.
wait_for() {
    limit=$(($1 * 10))
    shift
    i=0
    while [ "$i" -lt "$limit" ]; do
        "$@" && return 0
        sleep 0.1
        i=$((i + 1))
    done
    "$@"
}

# ---- the USB gadgets -------------------------------------------------------------------

# make_gadget NAME PRODUCT_ID FUNCTION: a gadget with one configuration and one function.
make_gadget() {
    g=$GADGETS/$1
    mkdir "$g" "$g/strings/0x409" "$g/configs/c.1" "$g/functions/$3" || return 1
    echo 0x5a3d >"$g/idVendor"
    echo "$2" >"$g/idProduct"
    echo KP70 >"$g/strings/0x409/manufacturer"
    echo "KP70 $1" >"$g/strings/0x409/product"
    echo "KP70-$1" >"$g/strings/0x409/serialnumber"
    if [ -e "$g/functions/$3/pnp_string" ]; then
        echo "MFG:KP70;CMD:ESC/POS;MDL:KP70;CLS:PRINTER;" >"$g/functions/$3/pnp_string"
        # Two transfers of buffer each way, so a printer that stops reading stops an upload
        # within its first 16 KB instead of swallowing it whole.
        echo 2 >"$g/functions/$3/q_len"
    fi
    ln -s "$g/functions/$3" "$g/configs/c.1/"
}
# plug NAME UDC / unplug NAME: bind the gadget to a dummy controller, or unbind it.
plug() { echo "$2" >"$GADGETS/$1/UDC"; }
unplug() { echo "" >"$GADGETS/$1/UDC"; }

# ---- kp70sim -----------------------------------------------------------------------------

SIM_PID=
# start_sim DIR DEVICE [OPTION...]: kp70sim answering on DEVICE, its memory in DIR/state.json
# and its captures in DIR/out, with paper near its end (so that status has something to say),
# and any further kp70sim options.
start_sim() {
    SIM_DIR=$1
    sim_device=$2
    shift 2
    mkdir -p "$SIM_DIR"
    kp70sim --tcp none --pty none --device "$sim_device" --state "$SIM_DIR/state.json" \
        --out "$SIM_DIR/out" --status paper-near-end "$@" >"$SIM_DIR/sim.out" 2>"$SIM_DIR/sim.log" &
    SIM_PID=$!
    wait_for 10 grep -q '^ready$' "$SIM_DIR/sim.out"
}
stop_sim() {
    [ -n "$SIM_PID" ] || return 0
    kill "$SIM_PID" 2>/dev/null
    wait_for 5 sh -c "! kill -0 $SIM_PID 2>/dev/null" || kill -9 "$SIM_PID" 2>/dev/null
    wait "$SIM_PID" 2>/dev/null
    SIM_PID=
}
state() { jq -c "$1" "$SIM_DIR/state.json" 2>/dev/null; }
capture_hex() { od -An -tx1 -v "$SIM_DIR/out/capture-device.bin" 2>/dev/null | tr -d ' \n'; }
# What the printer keeps, once it has read everything off its link (the driver's write
# returns when the bytes are in its buffers, a little before the printer has them).
images_whole() {
    [ "$(state '[.nv.images[] | select(((.data | length) + 1) / 3 == .width * .height / 8) | [.width, .height]]')" = "$(cat "$FX/logo-sizes")" ]
}
AREA='.flash.areas.download | [.writes, .checksum, .crc32]'
area_whole() { [ "$(state "$AREA")" = "$(cat "$FX/area-sum")" ]; }
captured() { eval "case \$(capture_hex) in $1) true ;; *) false ;; esac"; }
went_away() { [ "$(grep -c 'device went away' "$SIM_DIR/sim.log")" -ge "$1" ]; }
# After a settings write the printer resets and hears nothing for 3 s.
printer_ready() { grep -q 'printer ready' "$SIM_DIR/sim.log"; }

# ---- operations ------------------------------------------------------------------------

PASSED=0
RUN=0
FAILED=
# run SECONDS NAME ARGS...: kp70ctl ARGS under a watchdog; RC, OUT and ERR hold the result.
run() {
    bound=$1 name=$2
    shift 2
    OP=$name
    echo "== $PATH_NAME: $name: kp70ctl $* (at $(cut -d' ' -f1 /proc/uptime) s)"
    timeout -s KILL "$bound" kp70ctl "$@" </dev/null >"$W/out" 2>"$W/err"
    RC=$?
    OUT=$(cat "$W/out")
    ERR=$(cat "$W/err")
    echo "exit status $RC"
    sed 's/^/  out: /' "$W/out" | grep -v 'Firmware Download - [0-9]* %' | head -40
    sed 's/^/  err: /' "$W/err" | head -20
}
# verdict CONDITION_STATUS TEXT: counts the operation named by the last run (or by OP).
verdict() {
    RUN=$((RUN + 1))
    if [ "$1" = 0 ]; then
        PASSED=$((PASSED + 1))
        echo "pass: $OP"
    else
        FAILED="$FAILED $OP"
        echo "FAIL: $OP: $2"
    fi
}
ok_with() {  # the last run ended with status 0 and printed the pattern
    [ "$RC" = 0 ] && printf '%s\n' "$OUT" | grep -Eq "$1"
}
failed_with() {  # the last run ended with status 1 and said the pattern on stderr
    [ "$RC" = 1 ] && printf '%s\n' "$ERR" | grep -Eq "$1"
}

# ports_lists SECTION NODE [HARDWARE_ID]: kp70ctl ports names the node in its section, with
# no reason why it cannot be opened and no group to join.
ports_lists() {
    run 20 "ports $2" ports --json
    [ "$RC" = 0 ] && printf '%s\n' "$OUT" | jq -e --arg node "$2" --arg id "${3:-}" \
        "[.$1[] | select(.path == \$node and .canOpen and .error == null and .group == null
                         and (.hardwareId // \"\") == \$id)] | length == 1" >/dev/null
    verdict $? "$2 not listed once under $1 as an openable port${3:+ with $3}"
}

# The operations every path that answers runs, CONN being its connection options.
setup_set() {
    run 60 "setup set" setup set left-margin=300 code-page=16 $CONN
    ok_with '^COMPLETED$' && [ "$(state '.["user-settings"] | [.leftMargin, .codePage]')" = "[300,16]" ]
    verdict $? "the printer's settings are $(state '.["user-settings"] | [.leftMargin, .codePage]')"
    # The printer resets after the write; the next operation waits until it hears again.
    wait_for 15 printer_ready
}
setup_get() {
    run 60 "setup get" setup get $CONN
    ok_with '^left-margin +300$' && ok_with '^code-page +16$' &&
        [ "$(state '.["user-settings"] | [.leftMargin, .codePage]')" = "[300,16]" ]
    verdict $? "the settings read are not the printer's"
}
logo_upload() {
    run 90 "logo upload" logo upload "$FX/a.bmp" "$FX/b.bmp" $CONN
    ok_with 'Complete the NV bit image definition\.' && wait_for 10 images_whole
    verdict $? "the printer keeps the images $(state '[.nv.images[] | [.width, .height]]')"
}
logo_print() {
    run 60 "logo print" logo print --select 1-2 --header $CONN
    ok_with '^printed 2 images$' && wait_for 10 captured '*1c700100*1c700200*'
    verdict $? "the printer did not get both print commands"
}
firmware_download() {
    run 120 "firmware download" firmware download "$FX/fw.SHC" --area download --service --yes $CONN
    ok_with '^Update Complete\.' && wait_for 10 area_whole
    verdict $? "the printer's DOWNLOAD area is $(state "$AREA"), not $(cat "$FX/area-sum")"
}
status_query() {
    run 30 status status --json $CONN
    # kp70sim was started with paper near its end.
    [ "$RC" = 0 ] && [ "$(printf '%s' "$OUT" | jq -c '[.answered, .conditions["paper-near-end"], .conditions["paper-end"], .conditions.offline]')" = "[true,true,false,false]" ]
    verdict $? "the status read is not the printer's"
}

# path_line DRIVER NODE: the report line of the path just run, and a fresh count.
path_line() {
    if [ "$RUN" -gt 0 ] && [ "$PASSED" = "$RUN" ]; then
        report "$1 $2 $PASSED/$RUN ok"
    else
        report "$1 $2 $PASSED/$RUN FAIL:$FAILED"
    fi
    PASSED=0 RUN=0 FAILED=
}
# The driver sysfs names for a device node's device.
driver_of() { basename "$(readlink -f "/sys/class/$1/device/driver")"; }

# ---- start ---------------------------------------------------------------------------------

echo "hw: kernel $(uname -r)"
modprobe dummy_hcd num=3 && modprobe libcomposite && modprobe usb_f_printer && modprobe usb_f_acm
make_gadget printer 0x3012 printer.usb0 && make_gadget serial 0x3011 acm.usb0 &&
    make_gadget second 0x3012 printer.usb1 || echo "hw: the gadgets cannot be made"
modprobe parport_pc && modprobe lp && modprobe ppdev
modprobe usblp && modprobe cdc_acm && modprobe ftdi_sio
plug printer dummy_udc.0
plug serial dummy_udc.1
udevadm settle --timeout=20
# The simulators' virtio ports, by name.
port_named() {
    for f in /sys/class/virtio-ports/*/name; do
        [ "$(cat "$f")" = "$1" ] && echo "/dev/$(basename "$(dirname "$f")")"
    done
}

# ---- USB printer (usblp) ---------------------------------------------------------------------

PATH_NAME=usblp
wait_for 20 test -c /dev/usb/lp0
NODE=/dev/usb/lp0
DRIVER=$(driver_of usbmisc/lp0)
echo "hw: lp0 ieee1284_id: $(cat /sys/class/usbmisc/lp0/device/ieee1284_id 2>/dev/null)"
CONN=--usb
start_sim "$W/usblp" usb:/dev/g_printer0 || echo "hw: kp70sim did not start on /dev/g_printer0"
ports_lists usb "$NODE" 'USB\VID_5A3D&PID_3012'
setup_set
setup_get
logo_upload
logo_print
firmware_download
status_query

# The connection screen's search: none while the gadget is unbound, "more than one" with a
# second gadget of the same ids, and exactly one again.
unplug printer
wait_for 20 sh -c '! test -e /dev/usb/lp0'
# The printer's side sees its node go before it comes back (see kp70sim's --device).
wait_for 20 went_away 1
run 30 "search: none attached" status --usb
failed_with 'Turn on your USB printer'
verdict $? "a search with no printer attached found one"
plug printer dummy_udc.0
plug second dummy_udc.2
wait_for 20 test -c /dev/usb/lp1
run 30 "search: two attached" status --usb
failed_with 'TalvoTool support only One device\.'
verdict $? "a search with two printers attached did not refuse"
unplug second
wait_for 20 sh -c '! test -e /dev/usb/lp1'
wait_for 20 test -c /dev/usb/lp0

# Unplugged while an upload's bytes flow: the upload fails with its message within its
# bound, and the printer plugged back is found and takes an upload again.
OP="unplugged mid-upload"
echo "== $PATH_NAME: $OP: kp70ctl logo upload $FX/big.bmp --usb"
before=$(stat -c %s "$SIM_DIR/out/capture-device.bin")
rm -f "$W/rc"
# Its exit status through a file: the shell has no job table to keep it in.
sh -c "timeout -s KILL 60 kp70ctl logo upload $FX/big.bmp --usb </dev/null >$W/out 2>$W/err; echo \$? >$W/rc" &
# The upload's image data (more than its erase command) is under way.
grown() { [ "$(stat -c %s "$SIM_DIR/out/capture-device.bin")" -gt $((before + 4000)) ]; }
wait_for 30 grown || echo "hw: the upload sent nothing"
unplug printer
wait_for 70 test -s "$W/rc"
wait_for 20 went_away 2
RC=$(cat "$W/rc")
OUT=$(cat "$W/out")
ERR=$(cat "$W/err")
echo "exit status $RC"
sed 's/^/  err: /' "$W/err" | head -10
failed_with 'Communication error\. Can not transimitted\.|ERROR : Write to port\.|ERROR : Port open\.'
verdict $? "the upload did not fail with its message when the printer went away"
plug printer dummy_udc.0
wait_for 20 test -c /dev/usb/lp0
run 90 "plugged back" logo upload "$FX/a.bmp" "$FX/b.bmp" --usb
ok_with 'Complete the NV bit image definition\.' && wait_for 10 images_whole
verdict $? "the printer plugged back was not found or did not take the upload"

# A printer that stops reading after its first 8 KB while an upload's bytes flow: usblp takes
# no more once the gadget's two buffers are full, and the write gives up within its limit
# instead of hanging the upload. The printer stops at a byte count, not at a moment, so a
# slow machine cannot let the whole image through before it stops.
stop_sim
STALL_AT=8192
start_sim "$W/usblp-stall" usb:/dev/g_printer0 --fault "stall-after=$STALL_AT" ||
    echo "hw: kp70sim did not start on /dev/g_printer0 with a stall"
run 70 "stalled mid-upload" logo upload "$FX/big.bmp" --usb
failed_with 'Communication error\. Can not transimitted\.|ERROR : Write to port\.' &&
    [ "$(stat -c %s "$SIM_DIR/out/capture-device.bin")" = "$STALL_AT" ]
verdict $? "the upload to a printer that stopped reading did not fail with its message"
stop_sim
path_line "$DRIVER" "$NODE"

# ---- USB virtual serial (cdc_acm) --------------------------------------------------------------

PATH_NAME=cdc_acm
wait_for 20 test -c /dev/ttyACM0
NODE=/dev/ttyACM0
DRIVER=$(driver_of tty/ttyACM0)
# The connection screen's "U-I" entry, on the port its USB device has.
CONN="--device${T}KP70 U-I${T}--port${T}$NODE"
start_sim "$W/acm" serial:/dev/ttyGS0 || echo "hw: kp70sim did not start on /dev/ttyGS0"
ports_lists serial "$NODE" 'USB\VID_5A3D&PID_3011'
setup_set
setup_get
logo_upload
logo_print
firmware_download
status_query
stop_sim
path_line "$DRIVER" "$NODE"

# ---- USB-serial adapter (ftdi_sio) -------------------------------------------------------------

PATH_NAME=ftdi_sio
wait_for 20 test -c /dev/ttyUSB0
NODE=/dev/ttyUSB0
DRIVER=$(driver_of tty/ttyUSB0)
CONN="--port${T}$NODE"
start_sim "$W/ftdi" "serial:$(port_named kp70.ftdi)" || echo "hw: kp70sim did not start on kp70.ftdi"
ports_lists serial "$NODE" 'USB\VID_0403&PID_6001'
setup_set
setup_get
logo_upload
logo_print
firmware_download
status_query
stop_sim
path_line "$DRIVER" "$NODE"

# ---- PC serial port (8250) ---------------------------------------------------------------------

PATH_NAME=8250
NODE=/dev/ttyS1
# The PC's ports are found by PNP; the 8250 driver's "serial" PNP driver takes them.
DRIVER="8250($(driver_of tty/ttyS1))"
CONN="--port${T}$NODE"
start_sim "$W/8250" "serial:$(port_named kp70.serial)" || echo "hw: kp70sim did not start on kp70.serial"
ports_lists serial "$NODE"
setup_set
setup_get
logo_upload
logo_print
firmware_download
status_query
stop_sim
path_line "$DRIVER" "$NODE"

# ---- parallel port (parport_pc, lp, ppdev) -------------------------------------------------------

# Its kp70sim runs on the host (run-vm.sh): QEMU writes each byte of the parallel port while
# holding its own lock, so a reader inside this machine could never drain a full buffer.
# Here each operation is judged by what kp70ctl says; the host then checks what its
# printer received and counts an operation only when both agree.
PATH_NAME=parport
NODE=/dev/lp0
DRIVER="$(driver_of printer/lp0)/lp"
CONN="--port${T}$NODE"
ports_lists parallel "$NODE"
ports_lists parallel /dev/parport0
run 90 "logo upload" logo upload "$FX/a.bmp" "$FX/b.bmp" $CONN
ok_with 'Complete the NV bit image definition\.'
verdict $? "the upload did not complete"
run 60 "logo print" logo print --select 1-2 --header $CONN
ok_with '^printed 2 images$'
verdict $? "the print did not complete"
run 120 "firmware download" firmware download "$FX/fw.SHC" --area download --service --yes $CONN
ok_with '^Update Complete\.'
verdict $? "the download did not complete"
# The ppdev node, claimed for the write.
run 60 "logo print (ppdev)" logo print --select 1 --port /dev/parport0
ok_with '^printed 1 image'
verdict $? "the print through /dev/parport0 did not complete"
# Nothing the printer says comes back through QEMU's parallel port (see the report's last
# lines): reading the settings and the status must end with their messages, not hang.
run 60 "setup get: no answer" setup get $CONN
failed_with 'ERROR : Read Fail!'
verdict $? "reading the settings with no answer did not end with its message"
run 30 "status: no answer" status $CONN
failed_with 'no answer within'
verdict $? "the status query with no answer did not end with its message"
path_line "$DRIVER" "$NODE"
report "not covered: parallel port: setup get, setup set, status and the automatic status block: QEMU's parallel port emulation passes bytes only from the computer to the printer (it has no reverse channel and fixed status lines), so nothing the printer says reaches ParPortCtl"
report "not covered: parallel port: a printer that stops taking bytes: QEMU's status lines never say busy or paper end, and a chardev that stops reading stops the whole machine (the emulation writes each byte while holding QEMU's lock)"

report "hw: done"
