#!/usr/bin/env bash
# make windows-test: kp70ctl.exe (the windows build) under Wine against the Linux kp70sim.
#
#   bash tests/windows/windows-e2e.sh [WINDOWS_BUILD] [LINUX_BUILD]   (build/windows build/default)
#
# Every operation runs twice, by the Linux kp70ctl and by kp70ctl.exe, each against a
# virtual printer of its own that starts alike (paper near its end), in a folder of its own
# that holds its kp70tool.INI, and the two runs are compared: the exit status, standard
# output (the system's paths, port names and TCP ports aside), the profile, and the
# printer's state file (settings, NV images, flashed areas). Over TCP: setup set and get, logo
# upload and print, the firmware DOWNLOAD area, status, backup and restore. Over a COM
# port: Wine's port table (HKLM\Software\Wine\Ports) makes COM7 the virtual printer's
# pseudo-terminal, and kp70ctl.exe opens "\\.\COM7" with the DCB and time-outs of a real
# port; setup set and get, logo upload and the TALVO10 Boot area (acknowledged packets).
# Also `ports` (COM7 listed, as the system lists it) and --version.
#
# Wine 8 cannot count the bytes a TCP peer acknowledged (it has no SIO_TCP_INFO), so a
# printer that closes the connection right after a write (it resets after a setup write)
# cannot be told from one that lost the bytes: there kp70ctl.exe reports the write as not
# delivered, as the delivery rule asks of a system that cannot tell, and the row checks that
# the printer got exactly what the Linux side's did (marked "wine: no acknowledgement
# count").
#
# Both kp70ctls run on a clock ten times fast (KP70_TEST_TIME_SCALE, which Wine passes on),
# the printers at --time-scale 0.1. Prints one row per operation and ends with
# "windows-test: P passed, F failed"; exit status 1 unless all passed. WINDOWS_TEST_KEEP=1
# keeps the work folder; WINDOWS_TEST_ONLY=REGEX runs only the rows whose "name transport"
# matches.
set -uo pipefail
cd "$(dirname "$0")/../.."
ROOT=$(pwd)

WIN_BUILD=$(realpath "${1:-build/windows}")
LINUX_BUILD=$(realpath "${2:-build/default}")
EXE=$WIN_BUILD/kp70ctl.exe
CTL=$LINUX_BUILD/src/cli/kp70ctl
SIM=$LINUX_BUILD/src/sim/kp70sim
for bin in "$EXE" "$CTL" "$SIM"; do
    [[ -x $bin ]] || { echo "windows-test: $bin is missing; build first" >&2; exit 2; }
done
command -v jq >/dev/null || { echo "windows-test: jq is missing (scripts/install-deps.sh)" >&2; exit 2; }

export WINEPREFIX=${WINEPREFIX:-$WIN_BUILD/wine}
export WINEDEBUG=-all
WINE=$ROOT/scripts/wine-run.sh
COM=COM7
SCALE=${WINDOWS_TEST_SCALE:-0.1}
export KP70_TEST_TIME_SCALE=$SCALE

WORK=$(mktemp -d /tmp/kp70-windows.XXXXXX)
SIMS=()
cleanup() {
    for pid in "${SIMS[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${SIMS[@]}"; do wait "$pid" 2>/dev/null; done
    "$WINE" reg delete 'HKLM\Software\Wine\Ports' /v "$COM" /f >/dev/null 2>&1
    /usr/lib/wine/wineserver -k 2>/dev/null
    if [[ ${WINDOWS_TEST_KEEP:-0} == 1 ]]; then echo "work folder: $WORK"; else rm -rf "$WORK"; fi
}
trap cleanup EXIT

# ---- fixtures -----------------------------------------------------------------------------

FX=$WORK/fx
mkdir -p "$FX"
le32() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $(($1 >> 8 & 255)))\\x$(printf %02x $(($1 >> 16 & 255)))\\x$(printf %02x $(($1 >> 24 & 255)))"; }
make_bmp() {
    local w=$1 h=$2 out=$3 size=$(($1 * $2 * 3))
    { printf 'BM'; le32 $((54 + size)); le32 0; le32 54; le32 40; le32 "$w"; le32 "$h"
      printf '\x01\x00\x18\x00'; le32 0; le32 "$size"; le32 2835; le32 2835; le32 0; le32 0
      head -c "$size" /dev/urandom; } >"$out"
}
make_bmp 96 48 "$FX/a.bmp"
make_bmp 64 32 "$FX/b.bmp"
# A firmware image (8 MB, boot enable byte 1, signature KVRN) and a TALVO10 image (2 MB).
{ head -c $((8388608 - 5)) /dev/urandom; printf '\x01KVRN'; } >"$FX/fw.SHC"
head -c 2097152 /dev/urandom >"$FX/t10.bin"

# ---- the two sides ------------------------------------------------------------------------

# Side L is the Linux kp70ctl, side W kp70ctl.exe; each has its folder and its printer.
declare -A TCP_PORT
start_printer() {
    local side=$1 dir=$WORK/$1
    mkdir -p "$dir/out"
    printf '[DEVICELIST]\r\n' >"$dir/kp70tool.INI"
    "$SIM" --tcp 127.0.0.1:0 --pty "$dir/ttyKP70" --out "$dir/out" --state "$dir/state.json" \
        --status paper-near-end --time-scale "$SCALE" >"$dir/sim.out" 2>"$dir/sim.log" &
    SIMS+=($!)
    for _ in $(seq 100); do
        grep -q '^ready' "$dir/sim.out" 2>/dev/null && break
        sleep 0.1
    done
    TCP_PORT[$side]=$(sed -n 's/^tcp 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$dir/sim.out" | head -1)
    [[ -n ${TCP_PORT[$side]} ]] || { echo "windows-test: kp70sim did not start" >&2; cat "$dir/sim.log" >&2; exit 2; }
}
start_printer L
start_printer W
# Wine's COM7 is the W printer's pseudo-terminal; the port table is read when Wine starts.
"$WINE" reg add 'HKLM\Software\Wine\Ports' /v "$COM" /d "$WORK/W/ttyKP70" /f >/dev/null 2>&1
/usr/lib/wine/wineserver -k 2>/dev/null
/usr/lib/wine/wineserver -w 2>/dev/null
# One Wine server for the whole run: each kp70ctl.exe then starts in a fraction of a second.
/usr/lib/wine/wineserver -p 2>/dev/null
"$WINE" cmd /c exit >/dev/null 2>&1

# What differs between the sides by nature: the folders, the path style, the port names, the
# TCP ports, and Windows' line ends in texts it writes itself.
normalise() {
    local side=$1
    tr -d '\r' | sed -e 's#Z:\\#/#g' -e 's#\\#/#g' -e "s#$WORK/$side/ttyKP70#PORT#g" -e "s#$COM#PORT#g" \
        -e "s#127\.0\.0\.1:${TCP_PORT[$side]}#127.0.0.1:TCP#g" -e "s#$WORK/$side#SIDE#g" -e "s#$WORK#WORK#g"
}

# The printer's memory that an operation may change; what only counts connections or time is
# left out.
printer_state() {
    jq -S 'del(.. | .lastChange?, .connections?, .time?, .timestamp?)' "$WORK/$1/state.json" 2>/dev/null
}

run_side() {
    local side=$1 transport=$2
    shift 2
    local dir=$WORK/$side args=() arg
    for arg in "$@"; do
        case $arg in
            LINK)
                if [[ $transport == tcp ]]; then args+=(--net "127.0.0.1:${TCP_PORT[$side]}")
                elif [[ $side == W ]]; then args+=(--port "$COM")
                else args+=(--port "$dir/ttyKP70"); fi ;;
            *) args+=("$arg") ;;
        esac
    done
    if [[ $side == W ]]; then
        (cd "$dir" && timeout -s KILL 180 "$WINE" "$EXE" "${args[@]}" </dev/null >"$dir/stdout" 2>"$dir/stderr")
    else
        (cd "$dir" && timeout -s KILL 180 "$CTL" "${args[@]}" </dev/null >"$dir/stdout" 2>"$dir/stderr")
    fi
    echo $? >"$dir/status"
    settle "$side"
}

# settle SIDE: a setup write resets the printer, whose serial side then hears nothing for a
# while; the next operation waits until kp70sim says the reset is over ("pty printer ready"
# for each "pty printer restarted"), as an operator waits for the printer to come back.
settle() {
    local log=$WORK/$1/sim.log
    for _ in $(seq 100); do
        [[ $(grep -c '^pty printer restarted$' "$log") == $(grep -c '^pty printer ready$' "$log") ]] && return
        sleep 0.1
    done
    echo "windows-test: the $1 printer did not come back from its reset" >&2
}

PASSED=0
FAILED=0
# The delivery message of a system that cannot count acknowledged bytes.
NO_ACK='the printer closed the connection before it had taken the last bytes'

# run [--wine-no-ack STATE_PATH] NAME TRANSPORT EXPECTED_STATUS ARGS...: both sides, then the
# comparison. With --wine-no-ack, kp70ctl.exe must end with exit status 1 and the delivery
# message of a system that cannot count acknowledgements, and the printers must agree on
# the part of their state at STATE_PATH (what arrived before the printer closed the link).
run() {
    local noAck=""
    if [[ $1 == --wine-no-ack ]]; then noAck=$2; shift 2; fi
    local name=$1 transport=$2 expected=$3
    shift 3
    [[ "$name $transport" =~ ${WINDOWS_TEST_ONLY:-.} ]] || return 0
    run_side L "$transport" "$@"
    run_side W "$transport" "$@"
    local problems=() side
    local statusL statusW
    statusL=$(cat "$WORK/L/status") statusW=$(cat "$WORK/W/status")
    [[ $statusL == "$expected" ]] || problems+=("Linux exit $statusL, not $expected")
    if [[ -n $noAck ]]; then
        [[ $statusW == 1 ]] || problems+=("exit $statusW, not 1")
        grep -q "$NO_ACK" "$WORK/W/stderr" || problems+=("no delivery message: $(head -c 300 "$WORK/W/stderr" | tr '\n' ' ')")
        if ! diff <(printer_state L | jq -S "$noAck") <(printer_state W | jq -S "$noAck") >"$WORK/diff-state"; then
            problems+=("printer state differs: $(head -c 300 "$WORK/diff-state" | tr '\n' ' ')")
        fi
        report "$name" "$transport" "$statusW" "wine: no acknowledgement count" "${problems[@]}"
        return
    fi
    [[ $statusW == "$statusL" ]] || problems+=("exit $statusW, Linux $statusL")
    for stream in stdout stderr; do
        if ! diff <(normalise L <"$WORK/L/$stream") <(normalise W <"$WORK/W/$stream") >"$WORK/diff-$stream"; then
            problems+=("$stream differs: $(head -c 300 "$WORK/diff-$stream" | tr '\n' ' ')")
        fi
    done
    if ! diff <(printer_state L) <(printer_state W) >"$WORK/diff-state"; then
        problems+=("printer state differs: $(head -c 300 "$WORK/diff-state" | tr '\n' ' ')")
    fi
    if ! diff <(normalise L <"$WORK/L/kp70tool.INI") <(normalise W <"$WORK/W/kp70tool.INI") >"$WORK/diff-profile"; then
        problems+=("profile differs: $(head -c 300 "$WORK/diff-profile" | tr '\n' ' ')")
    fi
    report "$name" "$transport" "$statusW" "" "${problems[@]}"
}

# report NAME TRANSPORT STATUS NOTE PROBLEMS...: one row.
report() {
    local name=$1 transport=$2 status=$3 note=$4
    shift 4
    if [[ $# -eq 0 ]]; then
        printf '%-26s %-4s exit %-3s ok%s\n' "$name" "$transport" "$status" "${note:+ ($note)}"
        PASSED=$((PASSED + 1))
    else
        printf '%-26s %-4s exit %-3s FAILED: %s\n' "$name" "$transport" "$status" "$*"
        FAILED=$((FAILED + 1))
    fi
}

# The Windows side alone: a check of its own output.
check() {
    local name=$1 pattern=$2
    shift 2
    run_side W tcp "$@"
    if [[ $(cat "$WORK/W/status") == 0 ]] && tr -d '\r' <"$WORK/W/stdout" | grep -Eq "$pattern"; then
        printf '%-26s %-4s exit %-3s ok\n' "$name" "-" 0
        PASSED=$((PASSED + 1))
    else
        printf '%-26s %-4s exit %-3s FAILED: %s\n' "$name" "-" "$(cat "$WORK/W/status")" \
            "$(head -c 300 "$WORK/W/stdout" "$WORK/W/stderr" | tr '\n' ' ')"
        FAILED=$((FAILED + 1))
    fi
}

began=$(date +%s)
echo "kp70ctl.exe under $(/usr/lib/wine/wine64 --version 2>/dev/null) against kp70sim"
check "version" '^kp70ctl [0-9.]+$' --version
check "ports lists $COM" "^  $COM  can be opened$" ports

SETTINGS='.["user-settings"]'
run --wine-no-ack "$SETTINGS" "setup set" tcp 0 setup set left-margin=300 code-page=16 LINK
run "setup get" tcp 0 setup get --json LINK
run "logo upload" tcp 0 logo upload "$FX/a.bmp" "$FX/b.bmp" LINK
run "logo print" tcp 0 logo print --select 1-2 --header LINK
run "firmware download" tcp 0 firmware download "$FX/fw.SHC" --area download --service --yes LINK
run "status" tcp 0 status --json LINK
run "backup" tcp 0 backup saved.kp70 LINK
# The two backups hold the same files with the same bytes; only the time they were made (the
# manifest's "time", each member's date) may differ, when the runs fall in different seconds.
backup_content() {
    local out=$WORK/backup-$1
    rm -rf "$out" && mkdir -p "$out" && tar -xf "$WORK/$1/saved.kp70" -C "$out" &&
        jq -S 'del(.time)' "$out/manifest.json" >"$out/manifest.json.cmp" &&
        rm "$out/manifest.json" && tar -tf "$WORK/$1/saved.kp70" >"$out/members.cmp"
}
if [[ "backup tcp" =~ ${WINDOWS_TEST_ONLY:-.} ]]; then
    if backup_content L && backup_content W && diff -r "$WORK/backup-L" "$WORK/backup-W" >/dev/null; then
        report "backup files alike" - 0 ""
    else
        report "backup files alike" - 0 "" "the two backups differ"
    fi
fi
run "setup set (changed)" com 0 setup set left-margin=0 code-page=0 LINK
run --wine-no-ack "$SETTINGS" "restore" tcp 0 restore saved.kp70 --yes LINK
run "setup get (restored)" tcp 0 setup get LINK

run "setup set" com 0 setup set left-margin=120 code-page=3 LINK
run "setup get" com 0 setup get LINK
run "logo upload" com 0 logo upload "$FX/b.bmp" "$FX/a.bmp" LINK
run "restore" com 0 restore saved.kp70 --yes LINK
run "talvo10 boot area" com 0 firmware talvo10 "$FX/t10.bin" --area boot --yes --device "TALVO10 S" LINK

echo "windows-test: $PASSED passed, $FAILED failed ($(($(date +%s) - began)) s)"
[[ $FAILED -eq 0 ]]
