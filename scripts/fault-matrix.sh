#!/usr/bin/env bash
# The fault matrix: every printer operation of kp70ctl against kp70sim with every fault the
# virtual printer can inject, over TCP and over the pseudo-terminal.
#
#   bash scripts/fault-matrix.sh [BUILD_DIR]        (default build/default)
#
# Operations: setup write (setup set), setup read (setup get), logo upload, logo print,
# firmware area download (the DOWNLOAD area) and the TALVO10 tool (its Boot area). Faults:
# none (the reference run, which also measures how many bytes each link carries),
# drop-after=N at ten offsets from the first to the last byte of the busiest link, silent,
# late=200, nak-every=3 and garbage. Then the cases of a printer that takes or answers
# less than it should: the TALVO10 Ext Font area over TCP (2,049 answered packets) with and
# without its last packet refused (nak-last), a printer that stops reading near the end but
# keeps the connection (stall-after), one that closes the connection once it has taken
# everything, TALVO10 over the parallel port with the link gone behind the last packets,
# a line that repeats every answer with refused packets (repeat+nak-every=3), and a
# parallel port whose printer takes nothing, which Ctrl+C (SIGINT) must end within a second.
# Faults joined with "+" are given together.
#
# Every cell starts its own kp70sim (--time-scale 0.1) and runs kp70ctl on a clock ten times
# fast (KP70_TEST_TIME_SCALE), under a watchdog that kills it after the operation's bound
# plus a margin. A cell passes when kp70ctl
#   - ended within the operation's bound (stated below in tool milliseconds),
#   - with exit status 1 and one of the operation's failure messages, the profile
#     (kp70tool.INI: the logo list and the firmware tools' keys) byte for byte as before, or
#   - with exit status 0 and its success message only where kp70sim's state or captures
#     show the whole transfer arrived, and the profile holding exactly what a complete
#     operation stores,
#   - as the cell expects: "ok" where the fault cannot touch the operation (no fault, a late
#     answer within the time-out, a refused packet the protocol repeats, or a fault on a
#     reply the operation never reads), "fail" where it must fail, "any" where either
#     outcome is sound (a dropped link: exit 0 only with the transfer verified),
# and afterwards no process is left in the cell's folder and kp70sim holds no connection.
#
# Prints one row per cell and ends with "matrix: P of T cells passed"; exit status 1 unless
# every cell passed. FAULT_MATRIX_ONLY=REGEX runs only the cells whose "op transport fault"
# matches; FAULT_MATRIX_KEEP=1 keeps the work folder.
set -uo pipefail

SCALE=0.1
JOBS=2
MARGIN_S=5   # real seconds the watchdog adds to a bound

# ---- one cell (the script runs itself for each, two at a time) ----------------------------

# Tool milliseconds each operation may take, whatever the fault:
#   setup-read   8 s reply time-out (--timeout 8000) + 10 connection rounds of 50 ms + margin
#   setup-write  the read, then enter/write/leave and the 3 s settle of a network write
#   logo-upload  500 ms printer check + 5 s erase wait + 2 images, or a write refused for 5 s
#                (a send that moves nothing gives up after 10 s)
#   logo-print   500 ms printer check + 2 images 300 ms apart + 1 s + a refused write
#   fw-area      98 KB in blocks, a block refused for 5 s (10 s without progress), the
#                settling wait of 256 x 9 ms
#   talvo10      6 erase pauses of 400 ms, 128 packets (late answers: 128 x 200 ms), then
#                10 s without an answer
#   talvo10-ext  6 erase pauses of 1.5 s, 2,049 packets 50 ms apart, the last answer's wait
declare -A BOUND_MS=(
    [setup-read]=15000 [setup-write]=25000 [logo-upload]=25000
    [logo-print]=20000 [fw-area]=25000 [talvo10]=45000 [talvo10-ext]=140000
)

# What a complete operation prints on stdout.
declare -A SUCCESS=(
    [setup-read]='^left-margin +0$' [setup-write]='^COMPLETED$'
    [logo-upload]='Complete the NV bit image definition\.' [logo-print]='^printed 2 images$'
    [fw-area]='^Update Complete\.' [talvo10]='^COMPLETED$' [talvo10-ext]='^COMPLETED$'
)

# The operation's failure messages (stderr), as the catalogue and the README give them.
declare -A FAILURE=(
    [setup-read]='ERROR : Read Fail!|The printer did not answer within 3 seconds\.|no reply for:|Init Fail|ERROR : Printer check\.|ERROR : Port open\.|no clean reply'
    [setup-write]='ERROR : Read Fail!|The printer did not answer within 3 seconds\.|no reply for:|no clean reply from the printer|ERROR : Write Fail!|Init Fail|ERROR : Printer check\.|ERROR : Port open\.'
    [logo-upload]='Communication error\. Can not transimitted\.|ERROR : Write to port\.|ERROR : Port open\.|ERROR\[[0-9-]+\] - Open port or file\.|ERROR : Printer check\.'
    [logo-print]='Communication error\. Can not transimitted\.|ERROR : Write to port\.|ERROR : Port open\.|ERROR : Printer check\.'
    [fw-area]='ERROR : PRINTER IS NOT READY!|Communication error\. Can not transimitted\.|LPT Write Error|ERROR : Printer check\.|Init Fail|Port is not opened!|ERROR : Port open\.'
    [talvo10]='ERROR : Read Fail!|Communication error\. Can not transimitted\.|ERROR : Write to port\.|Init Fail|ERROR : Printer check\.|ERROR : Port open\.'
    [talvo10-ext]='Communication error\. Can not transimitted\.|ERROR : Write to port\.|ERROR : Port open\.'
)

# Whether a fault can touch an operation: ok, fail or any (see above).
expectation() {
    local op=$1 transport=$2 fault=$3
    case $fault in
        none) echo ok ;;
        # A printer that takes nothing more: the transfer fails; on the parallel port the
        # operator ends the wait with Ctrl+C.
        stall-after=*) [[ $transport == lpt ]] && echo interrupt || echo fail ;;
        # The last packet is always refused: resending cannot cure it.
        nak-last) echo fail ;;
        # Every answer twice, some refusals: each packet is judged by its own answer.
        repeat+nak-every=*) echo ok ;;
        # Closed once it had every byte: the printer has the area.
        drop-after=all) echo ok ;;
        drop-after=*) echo any ;;
        silent)
            case $op in
                # They read the printer's answers: nothing comes.
                setup-read | setup-write) echo fail ;;
                # Acknowledged packets on the serial side only.
                talvo10) [[ $transport == pty ]] && echo fail || echo ok ;;
                # Uploads, prints and area packets are never answered (the printer check
                # takes no answer for a failure).
                *) echo ok ;;
            esac ;;
        late=*) echo ok ;;  # 200 ms, below every time-out
        # A refused TALVO10 packet is sent again (over TCP too, where the answers are read
        # after each packet's pause); the one area packet is the first; setup and logos have
        # no packets to refuse.
        nak-every=*) echo ok ;;
        garbage)
            case $op in
                # Garbled setting replies: a read must not present them as the settings, and
                # a write must not carry them back.
                setup-read | setup-write) echo fail ;;
                *) echo ok ;;
            esac ;;
    esac
}

# The kp70ctl arguments of an operation.
op_args() {
    local op=$1 transport=$2 link
    local fx=$WORK/fixtures
    case $transport in
        pty) link=(--port "$CELL/ttyKP70") ;;
        lpt) link=(--port "$CELL/lpKP70") ;;
        *) link=(--net "127.0.0.1:$TCP_PORT") ;;
    esac
    case $op in
        setup-read) ARGS=(setup get --timeout 8000 "${link[@]}") ;;
        setup-write) ARGS=(setup set --timeout 8000 left-margin=300 code-page=16 "${link[@]}") ;;
        logo-upload) ARGS=(logo upload "$fx/a.bmp" "$fx/b.bmp" "${link[@]}") ;;
        logo-print) ARGS=(logo print --select 1-2 --header "${link[@]}") ;;
        fw-area) ARGS=(firmware download "$fx/fw.SHC" --area download --service --yes "${link[@]}") ;;
        talvo10 | talvo10-ext)
            local device="TALVO10 S" area=boot
            [[ $transport == tcp ]] && device="TALVO10 E-II"
            [[ $transport == lpt ]] && device="TALVO10 P"
            [[ $op == talvo10-ext ]] && area=ext-font
            ARGS=(firmware talvo10 "$fx/t10.bin" --area "$area" --yes --device "$device" "${link[@]}") ;;
    esac
}

state() { jq -c "$1" "$CELL/state.json" 2>/dev/null; }

# Whether kp70sim received the whole operation: its state file and captures.
verified() {
    local op=$1 fx=$WORK/fixtures
    case $op in
        setup-read)
            # Every setting answered, with the printer's values.
            [[ $(grep -c '(no reply)' "$CELL/stdout") == 0 ]] &&
                grep -Eq '^paper-width +80mm$' "$CELL/stdout" &&
                grep -Eq '^code-page +0$' "$CELL/stdout" ;;
        setup-write)
            [[ $(state '.["user-settings"].leftMargin') == 300 &&
                $(state '.["user-settings"].codePage') == 16 ]] ;;
        logo-upload)
            # Every image whole: its data (hex, a blank between bytes) fills width x height dots.
            [[ $(state '[.nv.images[] | select(((.data | length) + 1) / 3 == .width * .height / 8)
                        | [.width, .height]]') == "$(cat "$fx/logo-sizes")" ]] ;;
        logo-print)
            local hex
            hex=$(cat "$CELL"/out/capture-* 2>/dev/null | od -An -tx1 -v | tr -d ' \n')
            [[ $hex == *1c700100* && $hex == *1c700200* ]] ;;
        fw-area)
            [[ $(state '.flash.areas.download | [.writes, .checksum, .crc32]') == "$(cat "$fx/area-sum")" ]] ;;
        talvo10)
            [[ $(state '.flash.talvo10.boot | [.contiguous, .checksum, .crc32]') == "$(cat "$fx/talvo10-sum")" ]] ;;
        talvo10-ext)
            [[ $(state '.flash.talvo10["ext-font"] | [.contiguous, .checksum, .crc32]') == "$(cat "$fx/talvo10-ext-sum")" ]] ;;
    esac
}

# Real seconds since the epoch, with nanoseconds.
now() { date +%s.%N; }

# Sockets kp70sim holds open: the listener only, once every connection is closed.
sim_sockets() { ls -l "/proc/$1/fd" 2>/dev/null | grep -c 'socket:'; }

run_cell() {
    local op=$1 transport=$2 fault=$3 index=$4
    CELL=$WORK/cells/$index
    mkdir -p "$CELL"
    cp "$WORK/fixtures/seed.INI" "$CELL/kp70tool.INI"
    local expect
    expect=$(expectation "$op" "$transport" "$fault")
    local faultArgs=() part
    if [[ $fault != none ]]; then
        local spec=$fault
        # drop-after=all: once the link has brought every byte of the reference run.
        [[ $spec == drop-after=all ]] && spec="drop-after=$ALL_BYTES"
        IFS=+ read -ra parts <<<"$spec"
        for part in "${parts[@]}"; do faultArgs+=(--fault "$part"); done
    fi

    # The printer, started from the work folder (not the cell's: see the process check).
    (cd "$WORK" && exec "$SIM" --tcp 127.0.0.1:0 --pty "$CELL/ttyKP70" --lpt "$CELL/lpKP70" --out "$CELL/out" \
        --state "$CELL/state.json" --time-scale "$SCALE" "${faultArgs[@]}" \
        >"$CELL/sim.out" 2>"$CELL/sim.log") &
    local simPid=$!
    local i
    for ((i = 0; i < 250; ++i)); do
        grep -q '^ready$' "$CELL/sim.out" 2>/dev/null && break
        sleep 0.02
    done
    TCP_PORT=$(sed -n 's/^tcp .*:\([0-9]*\)$/\1/p' "$CELL/sim.out")
    local verdict=PASS why=""
    if [[ -z $TCP_PORT ]]; then
        verdict=FAIL why="kp70sim did not start"
    fi

    op_args "$op" "$transport"
    local bound=${BOUND_MS[$op]}
    local watchdog
    watchdog=$(awk -v b="$bound" -v s="$SCALE" -v m="$MARGIN_S" 'BEGIN { print b * s / 1000 + m }')
    local start end rc=-1 interruptMs=-1
    start=$(now)
    if [[ $verdict == PASS && $expect == interrupt ]]; then
        # On the real clock: the operator presses Ctrl+C two seconds into a write the
        # printer takes nothing of; kp70ctl must end within one second of it.
        (cd "$CELL" && exec timeout -s KILL 20 "$CTL" "${ARGS[@]}" </dev/null >"$CELL/stdout" \
            2>"$CELL/stderr") &
        local ctlPid=$!
        sleep 2
        local pressed
        pressed=$(now)
        kill -INT "$ctlPid" 2>/dev/null
        wait "$ctlPid"
        rc=$?
        interruptMs=$(awk -v a="$pressed" -v b="$(now)" 'BEGIN { printf "%d", (b - a) * 1000 }')
    elif [[ $verdict == PASS ]]; then
        (cd "$CELL" && KP70_TEST_TIME_SCALE=$SCALE exec timeout -s KILL "$watchdog" "$CTL" \
            "${ARGS[@]}" </dev/null >"$CELL/stdout" 2>"$CELL/stderr")
        rc=$?
    fi
    end=$(now)
    local toolMs
    toolMs=$(awk -v a="$start" -v b="$end" -v s="$SCALE" 'BEGIN { printf "%d", (b - a) * 1000 / s }')

    local outcome message=""
    [[ $expect == interrupt ]] && toolMs=$interruptMs
    if [[ $rc == 137 ]]; then
        outcome=hang
    elif [[ $rc == 130 ]]; then
        outcome=interrupted
    elif [[ $rc -gt 128 ]]; then
        outcome="signal$((rc - 128))"
    elif [[ $rc == 0 ]]; then
        outcome=done
    else
        outcome=failed
    fi
    if [[ $rc == 0 ]]; then
        message=$(grep -Em1 "${SUCCESS[$op]}" "$CELL/stdout" || true)
    elif [[ $rc -ge 0 ]]; then
        message=$(grep -Eom1 "${FAILURE[$op]}" "$CELL/stderr" || true)
    fi

    fail() { [[ $verdict == FAIL ]] && why+="; $1" || { verdict=FAIL; why=$1; }; }
    if [[ $verdict == PASS && $expect == interrupt ]]; then
        [[ $outcome == interrupted ]] || fail "kp70ctl ${outcome} (exit $rc), not interrupted"
        ((interruptMs <= 1000)) || fail "ended ${interruptMs} ms after Ctrl+C"
        cmp -s "$WORK/fixtures/seed.INI" "$CELL/kp70tool.INI" || fail "profile changed"
    elif [[ $verdict == PASS ]]; then
        if ((toolMs > bound)); then fail "took ${toolMs} ms, bound ${bound} ms"; fi
        case $outcome in
            done)
                [[ $expect == fail ]] && fail "reported success; the fault must fail it"
                [[ -z $message ]] && fail "no success message"
                # kp70sim may still be reading the last bytes off the link.
                local ok=0
                for ((i = 0; i < 100; ++i)); do
                    if verified "$op"; then ok=1; break; fi
                    sleep 0.05
                done
                ((ok)) || fail "success reported, but the printer did not get it all"
                local expected=$WORK/fixtures/seed.INI
                [[ $op == logo-upload ]] && expected=$WORK/fixtures/uploaded.INI
                cmp -s "$expected" "$CELL/kp70tool.INI" || fail "profile not as a complete run leaves it"
                ;;
            failed)
                [[ $expect == ok ]] && fail "failed; the fault cannot touch this operation"
                [[ $rc != 1 ]] && fail "exit status $rc"
                [[ -z $message ]] && fail "no failure message: $(head -c 120 "$CELL/stderr" | tr '\n' ' ')"
                cmp -s "$WORK/fixtures/seed.INI" "$CELL/kp70tool.INI" || fail "profile changed by a failed run"
                ;;
            *) fail "kp70ctl ${outcome}" ;;
        esac
    fi
    if [[ $verdict == PASS || -n $why ]]; then
        grep -q 'runtime error\|AddressSanitizer\|LeakSanitizer' "$CELL/stderr" && fail "sanitizer report"
        # The answers must be read as they come: a full receive queue loses them.
        grep -q 'm_QueueRead FULL' "$CELL/stderr" && fail "the receive queue overflowed"
    fi

    # Nothing may be left running in the cell's folder, and kp70sim must have seen every
    # connection closed.
    local pid left=""
    for pid in /proc/[0-9]*; do
        [[ $(readlink "$pid/cwd" 2>/dev/null) == "$CELL" ]] && left+=" ${pid#/proc/}"
    done
    [[ -n $left ]] && fail "processes left:$left"
    if [[ -d /proc/$simPid ]]; then
        for ((i = 0; i < 100; ++i)); do
            (($(sim_sockets "$simPid") <= 1)) && break
            sleep 0.02
        done
        (($(sim_sockets "$simPid") > 1)) && fail "kp70sim still holds a connection"
        kill -TERM "$simPid" 2>/dev/null
        for ((i = 0; i < 100; ++i)); do
            [[ -d /proc/$simPid ]] || break
            sleep 0.02
        done
        if [[ -d /proc/$simPid ]]; then
            kill -KILL "$simPid" 2>/dev/null
            fail "kp70sim did not stop"
        fi
    elif [[ $verdict == PASS ]]; then
        fail "kp70sim ended by itself"
    fi
    wait "$simPid" 2>/dev/null

    # The link's bytes, for the drop offsets of the reference run.
    local bytes=0 size f
    for f in "$CELL"/out/capture-*.bin; do
        [[ -f $f ]] || continue
        size=$(stat -c %s "$f")
        if [[ $transport == pty ]]; then bytes=$((bytes + size)); else ((size > bytes)) && bytes=$size; fi
    done
    [[ -z $message ]] && message="-"
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$op" "$transport" "$fault" "$expect" \
        "$outcome" "$rc" "$toolMs" "$verdict" "$message" "${why:--}" "$bytes" >"$CELL/result"
}

if [[ ${1:-} == --cell ]]; then
    shift
    WORK=$1 CTL=$2 SIM=$3
    shift 3
    run_cell "$@"
    exit 0
fi

# ---- the matrix ------------------------------------------------------------------------

BUILD_DIR=${1:-build/default}
CTL=$(realpath "$BUILD_DIR/src/cli/kp70ctl")
SIM=$(realpath "$BUILD_DIR/src/sim/kp70sim")
for bin in "$CTL" "$SIM"; do
    [[ -x $bin ]] || { echo "fault-matrix: $bin is missing; build first (make build)" >&2; exit 2; }
done
command -v jq >/dev/null || { echo "fault-matrix: jq is missing (scripts/install-deps.sh)" >&2; exit 2; }

WORK=$(mktemp -d /tmp/kp70-matrix.XXXXXX)
cleanup() { [[ ${FAULT_MATRIX_KEEP:-0} == 1 ]] && echo "work folder: $WORK" || rm -rf "$WORK"; }
trap cleanup EXIT
FX=$WORK/fixtures
mkdir -p "$FX" "$WORK/cells"
began=$(date +%s)

# A Windows bitmap, 24 bits a pixel, W x H of random pixels.
le32() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $(($1 >> 8 & 255)))\\x$(printf %02x $(($1 >> 16 & 255)))\\x$(printf %02x $(($1 >> 24 & 255)))"; }
make_bmp() {
    local w=$1 h=$2 out=$3 size=$(($1 * $2 * 3))
    { printf 'BM'; le32 $((54 + size)); le32 0; le32 54; le32 40; le32 "$w"; le32 "$h"
      printf '\x01\x00\x18\x00'; le32 0; le32 "$size"; le32 2835; le32 2835; le32 0; le32 0
      head -c "$size" /dev/urandom; } >"$out"
}
make_bmp 96 48 "$FX/a.bmp"
make_bmp 64 32 "$FX/b.bmp"
make_bmp 32 16 "$FX/old.bmp"
echo '[[96,48],[64,32]]' >"$FX/logo-sizes"
# A firmware image (8 MB, boot enable byte 1, signature KVRN) and a TALVO10 image (2 MB).
{ head -c $((8388608 - 5)) /dev/urandom; printf '\x01KVRN'; } >"$FX/fw.SHC"
head -c 2097152 /dev/urandom >"$FX/t10.bin"

# The 16-bit sum and CRC-32 of `count` bytes of a file from `offset` (gzip's trailer holds
# the CRC-32 of what it compressed).
slice_sums() {
    local file=$1 offset=$2 count=$3
    local sum crc
    sum=$(tail -c +$((offset + 1)) "$file" | head -c "$count" | od -An -tu1 -v |
        awk '{ for (i = 1; i <= NF; ++i) s += $i } END { print s % 65536 }')
    crc=$(tail -c +$((offset + 1)) "$file" | head -c "$count" | gzip -c | tail -c 8 | head -c 4 |
        od -An -tu4 | tr -d ' ')
    echo "$sum $crc"
}
area=$("$CTL" firmware check "$FX/fw.SHC" --json | jq -c '.areas[] | select(.area == "download") | [.offset, .length]')
read -r areaOffset areaLength < <(jq -r '"\(.[0]) \(.[1])"' <<<"$area")
read -r s c < <(slice_sums "$FX/fw.SHC" "$areaOffset" $((areaLength - 10)))
echo "[1,$s,$c]" >"$FX/area-sum"
read -r s c < <(slice_sums "$FX/t10.bin" $((0x1F0000)) $((0x10000)))
echo "[true,$s,$c]" >"$FX/talvo10-sum"
read -r s c < <(slice_sums "$FX/t10.bin" $((0x80000)) $((0x100000)))
echo "[true,$s,$c]" >"$FX/talvo10-ext-sum"

# The profile every cell starts with: a stored logo list, and what the start of each
# operation writes whatever happens next (the setup tool's receive-buffer list, the firmware
# tools' last image), made by running them into a file. A complete upload then stores its
# list: that profile is made the same way.
mkdir -p "$WORK/prime"
printf '[LOGO]\r\nLogofile1=%s\r\n' "$FX/old.bmp" >"$WORK/prime/kp70tool.INI"
(
    cd "$WORK/prime" || exit 1
    export KP70_TEST_TIME_SCALE=$SCALE
    "$CTL" setup set --file setup.prn left-margin=300 >/dev/null 2>&1
    "$CTL" firmware download "$FX/fw.SHC" --area download --service --yes --file area.prn >/dev/null 2>&1
    "$CTL" firmware talvo10 "$FX/t10.bin" --area boot --yes --device "TALVO10 S" --file t10.prn >/dev/null 2>&1
    cp kp70tool.INI "$FX/seed.INI"
    "$CTL" logo upload "$FX/a.bmp" "$FX/b.bmp" --file logo.prn >/dev/null 2>&1
    cp kp70tool.INI "$FX/uploaded.INI"
)
if cmp -s "$FX/seed.INI" "$FX/uploaded.INI" || ! grep -q FWDN15 "$FX/seed.INI"; then
    echo "fault-matrix: the profiles could not be prepared" >&2
    exit 2
fi

OPS=(setup-write setup-read logo-upload logo-print fw-area talvo10)
export ALL_BYTES=0
TRANSPORTS=(tcp pty)
FAULTS=(silent late=200 nak-every=3 garbage)

run_cells() {  # reads "op transport fault index" lines
    xargs -P "$JOBS" -L 1 bash "$0" --cell "$WORK" "$CTL" "$SIM"
}
selected() { [[ -z ${FAULT_MATRIX_ONLY:-} || "$1 $2 $3" =~ $FAULT_MATRIX_ONLY ]]; }

# The reference runs first: they measure the bytes each link carries.
index=0
{
    for op in "${OPS[@]}"; do
        for transport in "${TRANSPORTS[@]}"; do
            index=$((index + 1))
            echo "$op $transport none $index"
        done
    done
} | run_cells

declare -a LINES=()
index=0
for op in "${OPS[@]}"; do
    for transport in "${TRANSPORTS[@]}"; do
        index=$((index + 1))
        bytes=$(cut -f11 "$WORK/cells/$index/result" 2>/dev/null || echo 0)
        ((bytes < 2)) && bytes=2
        offsets=()
        for k in 0 1 2 3 4 5 6 7 8 9; do
            # From the first byte to the last, which never arrives either.
            offsets+=($((1 + (bytes - 2) * k / 9)))
        done
        for fault in "${offsets[@]/#/drop-after=}" "${FAULTS[@]}"; do
            selected "$op" "$transport" "$fault" && LINES+=("$op $transport $fault")
        done
    done
done
# The printers that take or answer less than they should, at offsets from the reference
# runs: near the end of the area (and of the upload) over TCP, and every byte.
ref_bytes() {  # op transport
    local r
    for r in "$WORK"/cells/*/result; do
        IFS=$'\t' read -r o t f _ _ _ _ _ _ _ b <"$r"
        [[ $o == "$1" && $t == "$2" && $f == none ]] && { echo "$b"; return; }
    done
    echo 0
}
areaBytes=$(ref_bytes fw-area tcp)
for line in "talvo10-ext tcp none" "talvo10-ext tcp nak-last" \
    "fw-area tcp stall-after=$((areaBytes - 65536))" "fw-area tcp drop-after=all" \
    "talvo10 lpt none" "talvo10 lpt drop-after=$(($(ref_bytes talvo10 pty) - 20))" \
    "talvo10 pty repeat+nak-every=3" "fw-area lpt stall-after=0"; do
    read -r op transport fault <<<"$line"
    selected "$op" "$transport" "$fault" && LINES+=("$line")
done
index=100
for line in "${LINES[@]}"; do
    index=$((index + 1))
    echo "$line $index"
done | { export ALL_BYTES=$areaBytes; run_cells; }

# ---- the table ---------------------------------------------------------------------------
passed=0
total=0
printf '%-12s %-4s %-16s %-6s %-8s %4s %8s  %-5s %s\n' operation link fault expect outcome exit "tool-ms" cell message
for result in $(ls "$WORK"/cells/*/result | sort -V); do
    IFS=$'\t' read -r op transport fault expect outcome rc ms verdict message why bytes <"$result"
    selected "$op" "$transport" "$fault" || [[ $fault == none ]] || continue
    total=$((total + 1))
    [[ $verdict == PASS ]] && passed=$((passed + 1))
    printf '%-12s %-4s %-16s %-6s %-8s %4s %8s  %-5s %s\n' "$op" "$transport" "$fault" "$expect" \
        "$outcome" "$rc" "$ms" "$verdict" "$message"
    [[ $verdict == PASS ]] || printf '%52s^ %s\n' '' "$why"
done
echo "($(($(date +%s) - began)) s; tool times on a clock ${SCALE} of real time)"
echo "matrix: $passed of $total cells passed"
[[ $passed == "$total" && $total -gt 0 ]]
