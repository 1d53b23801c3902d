#!/usr/bin/env bash
# The hostile network: kp70ctl in a network namespace of its own, joined by a virtual
# Ethernet pair to a second namespace that holds a real kp70sim and a hostile peer.
#
#   bash tests/hostile/hostile-network.sh KP70CTL KP70SIM KP70_HOSTILE_PEER
#
# 1. Searches run while the peer sends 10,000 datagrams to UDP 2918 (random bytes of every
#    length but 35, and 35-byte frames that name no printer) and kp70sim answers as one
#    printer: every listed row must be kp70sim's printer, each search must end with its
#    message, and no search may grow beyond a bounded memory (VmHWM) or list.
# 2. TCP peers that accept and never read, reset the connection mid-block, or send bytes
#    without end, during setup read and logo upload: every operation must end with its
#    message within its bound (tool milliseconds; kp70ctl runs on a clock ten times fast).
#
# Needs root for `ip netns`; without it the test is skipped (exit status 77). Prints
# "hostile: N datagrams sent, M frames wrongly listed, O operations ended with their message
# of Q" last; exit status 1 unless M is 0 and O equals Q.
set -uo pipefail

CTL=$(realpath "$1") SIM=$(realpath "$2") PEER=$(realpath "$3")
if [[ $(id -u) != 0 ]] || ! command -v ip >/dev/null; then
    echo "hostile: skipped: needs root and ip (iproute2) to make network namespaces"
    exit 77
fi

SCALE=0.1
TOOL_NS=kp70h-tool-$$
PEER_NS=kp70h-peer-$$
TOOL_IP=10.231.0.1
PEER_IP=10.231.0.2
PRINTER_IP=10.231.0.3  # kp70sim's printer: the address after --udp's
BROADCAST=10.231.0.255
SIM_MAC=02:5A:3D:00:00:01
# A search keeps at most 254 frames: during the flood its peak memory (VmHWM) may grow by
# at most this much over a quiet search's (a relative bound, so it holds in sanitizer
# builds too, whose shadow memory raises every figure).
MAX_GROWTH_KB=32768
# How long a search with --timeout 1000 may take, in tool milliseconds: its own windows
# and the pacing come to about 2,100; the rest is room for a loaded machine.
SEARCH_BOUND_MS=5000
WORK=$(mktemp -d /tmp/kp70-hostile.XXXXXX)
# kp70ctl runs in $WORK, which holds no profile: its profile and log go to these folders
# instead of the user's own.
export XDG_CONFIG_HOME=$WORK/config XDG_STATE_HOME=$WORK/state
PIDS=()

cleanup() {
    local pid ns
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${PIDS[@]}"; do wait "$pid" 2>/dev/null; done
    # Whatever still runs inside the namespaces goes with them.
    for ns in "$TOOL_NS" "$PEER_NS"; do
        ip netns pids "$ns" 2>/dev/null | xargs -r kill -9 2>/dev/null
    done
    ip netns del "$TOOL_NS" 2>/dev/null
    ip netns del "$PEER_NS" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

ip netns add "$TOOL_NS" && ip netns add "$PEER_NS" &&
    ip link add "kp70h$$a" type veth peer name "kp70h$$b" &&
    ip link set "kp70h$$a" netns "$TOOL_NS" && ip link set "kp70h$$b" netns "$PEER_NS" &&
    ip -n "$TOOL_NS" addr add "$TOOL_IP/24" dev "kp70h$$a" &&
    ip -n "$PEER_NS" addr add "$PEER_IP/24" dev "kp70h$$b" &&
    ip -n "$PEER_NS" addr add "$PRINTER_IP/24" dev "kp70h$$b" &&
    ip -n "$TOOL_NS" link set "kp70h$$a" up && ip -n "$PEER_NS" link set "kp70h$$b" up &&
    ip -n "$TOOL_NS" link set lo up && ip -n "$PEER_NS" link set lo up
if [[ $? != 0 ]]; then
    echo "hostile: skipped: the network namespaces could not be made"
    exit 77
fi

in_tool() { ip netns exec "$TOOL_NS" "$@"; }
# Programs in the peer's namespace run in the background, started with `ip netns exec`
# itself so that $! names the program (a shell function in the background would run in a
# subshell of its own, and killing that would leave the program running).

operations=0
ended=0
# Runs kp70ctl in the tool's namespace under a watchdog; sets RC, MS (tool time), HWM (KB).
run_tool() {
    local bound=$1
    shift
    local watchdog start end
    watchdog=$(awk -v b="$bound" -v s="$SCALE" 'BEGIN { print b * s / 1000 + 5 }')
    start=$(date +%s.%N)
    (cd "$WORK" && KP70_TEST_TIME_SCALE=$SCALE exec ip netns exec "$TOOL_NS" \
        timeout -s KILL "$watchdog" "$CTL" "$@" </dev/null >"$WORK/stdout" 2>"$WORK/stderr") &
    local runner=$!
    HWM=0
    local pid="" hwm
    while kill -0 "$runner" 2>/dev/null; do
        # The runner became `timeout` (ip netns exec and timeout exec in turn); kp70ctl is
        # its child.
        [[ -z $pid ]] && pid=$(pgrep -P "$runner" 2>/dev/null | head -1)
        if [[ -n $pid ]]; then
            hwm=$(awk '/^VmHWM/ { print $2 }' "/proc/$pid/status" 2>/dev/null)
            [[ -n $hwm ]] && ((hwm > HWM)) && HWM=$hwm
        fi
        sleep 0.01
    done
    wait "$runner"
    RC=$?
    end=$(date +%s.%N)
    MS=$(awk -v a="$start" -v b="$end" -v s="$SCALE" 'BEGIN { printf "%d", (b - a) * 1000 / s }')
}

# An operation's verdict: ended within its bound with one of the messages.
judge() {
    local name=$1 bound=$2 messages=$3
    operations=$((operations + 1))
    local message
    message=$(cat "$WORK/stdout" "$WORK/stderr" | grep -Eom1 "$messages")
    if [[ $RC -le 1 && -n $message && $MS -le $bound ]]; then
        ended=$((ended + 1))
        printf '  %-34s exit %s  %6s ms  %s\n' "$name" "$RC" "$MS" "$message"
    else
        printf '  %-34s exit %s  %6s ms  FAILED (bound %s ms): %s\n' "$name" "$RC" "$MS" "$bound" \
            "$(head -c 160 "$WORK/stderr" | tr '\n' ' ')"
    fi
}

# ---- 1. datagrams during searches ------------------------------------------------------
ip netns exec "$PEER_NS" "$SIM" --tcp none --pty none --udp "$PEER_IP" --printers 1 --state "$WORK/sim.json" \
    >"$WORK/sim.out" 2>"$WORK/sim.log" &
PIDS+=($!)
for ((i = 0; i < 250; ++i)); do
    grep -q '^ready$' "$WORK/sim.out" 2>/dev/null && break
    sleep 0.02
done
if ! grep -q '^ready$' "$WORK/sim.out"; then
    echo "hostile: kp70sim did not start: $(cat "$WORK/sim.log")"
    exit 1
fi

# A quiet search first: the memory figure the flood's searches are held to.
run_tool "$SEARCH_BOUND_MS" net search --json --broadcast "$BROADCAST" --timeout 1000
if [[ $RC != 0 ]] || ! jq -e "any(.[]; .mac == \"$SIM_MAC\")" "$WORK/stdout" >/dev/null 2>&1; then
    echo "hostile: a quiet search did not find kp70sim's printer (exit $RC): $(head -c 160 "$WORK/stderr")"
    exit 1
fi
MAX_HWM_KB=$((HWM + MAX_GROWTH_KB))
echo "quiet search: VmHWM $HWM KB; searches during the flood may reach $MAX_HWM_KB KB"

ip netns exec "$PEER_NS" "$PEER" flood "$TOOL_IP" 10000 >"$WORK/flood.out" 2>&1 &
flood=$!
searches=0
wrong=0
found=0
echo "searches during the flood:"
while :; do
    flooding=0
    kill -0 "$flood" 2>/dev/null && flooding=1
    # The search's own receive windows are real time: --timeout is in tool milliseconds.
    run_tool "$SEARCH_BOUND_MS" net search --json --broadcast "$BROADCAST" --timeout 1000
    searches=$((searches + 1))
    rows=$(jq -r '.[].mac' "$WORK/stdout" 2>/dev/null)
    count=$(jq 'length' "$WORK/stdout" 2>/dev/null || echo 0)
    bad=$(grep -vc "^$SIM_MAC\$" <<<"$rows")
    [[ -z $rows ]] && bad=0
    wrong=$((wrong + bad))
    grep -q "^$SIM_MAC\$" <<<"$rows" && found=$((found + 1))
    judge "search $searches ($count listed, VmHWM ${HWM} KB)" "$SEARCH_BOUND_MS" \
        'The printer has finished searching\.'
    if ((HWM > MAX_HWM_KB || count > 254)); then
        echo "  search $searches: memory not bounded"
        ended=$((ended - 1))
    fi
    ((flooding)) || break
    ((searches >= 40)) && break
done
wait "$flood"
sent=$(awk '/^sent/ { print $2 }' "$WORK/flood.out")
echo "  kp70sim's printer listed by $found of $searches searches"

# ---- 2. TCP peers during setup read and logo upload ------------------------------------
# A logo larger than what the socket buffers of a peer that never reads can take in.
w=512 h=760 size=$((512 * 760 * 3))
{
    le32() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $(($1 >> 8 & 255)))\\x$(printf %02x $(($1 >> 16 & 255)))\\x$(printf %02x $(($1 >> 24 & 255)))"; }
    printf 'BM'; le32 $((54 + size)); le32 0; le32 54; le32 40; le32 $w; le32 $h
    printf '\x01\x00\x18\x00'; le32 0; le32 $size; le32 2835; le32 2835; le32 0; le32 0
    head -c $size /dev/urandom
} >"$WORK/big.bmp"

SETUP_FAIL='The printer did not answer within 3 seconds\.|ERROR : Read Fail!|no reply for:|ERROR : Printer check\.|Init Fail'
UPLOAD_FAIL='Communication error\. Can not transimitted\.|ERROR : Port open\.|ERROR : Printer check\.'
UPLOAD_DONE='Complete the NV bit image definition\.'
port=7001
echo "TCP peers:"
for peer in silent reset endless; do
    port=$((port + 1))
    args=("$peer" "$port")
    [[ $peer == reset ]] && args+=(2000)
    ip netns exec "$PEER_NS" "$PEER" "${args[@]}" >"$WORK/peer-$peer.out" 2>&1 &
    PIDS+=($!)
    for ((i = 0; i < 250; ++i)); do
        grep -q '^ready$' "$WORK/peer-$peer.out" 2>/dev/null && break
        sleep 0.02
    done
    # Setup read: 10 connection rounds, the 8 s reply time-out.
    run_tool 15000 setup get --timeout 8000 --net "$PEER_IP:$port"
    expected=$SETUP_FAIL
    # Endless bytes are no settings: they may not make a clean read either, but whatever
    # the parser makes of them, the read ends with its message.
    [[ $peer == endless ]] && expected="$SETUP_FAIL|^left-margin"
    judge "setup read, peer $peer" 15000 "$expected"
    # Logo upload: the erase wait, the data, and a send refused for 5 s (10 s without
    # progress). A peer that reads and drops everything takes the whole upload.
    run_tool 40000 logo upload --gray "$WORK/big.bmp" --net "$PEER_IP:$port"
    expected=$UPLOAD_FAIL
    [[ $peer == endless ]] && expected=$UPLOAD_DONE
    judge "logo upload, peer $peer" 40000 "$expected"
done

echo "hostile: ${sent:-0} datagrams sent, $wrong frames wrongly listed, $ended operations ended with their message of $operations"
[[ $wrong == 0 && $ended == "$operations" && ${sent:-0} -ge 10000 ]]
