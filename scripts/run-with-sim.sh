#!/usr/bin/env bash
# Starts the virtual printer in the background, runs the tool, and stops the printer again.
set -u
build_dir=${1:-build/default}
sim_dir=/tmp/kp70sim
mkdir -p "$sim_dir"
"$build_dir/src/sim/kp70sim" --pty "$sim_dir/ttyKP70" --lpt "$sim_dir/lpKP70" \
    --tcp 127.0.0.1:6001 --state "$sim_dir/state.json" --out "$sim_dir/out" \
    --control "$sim_dir/status" \
    --udp 127.0.0.1 --printers 5 --tcp-printers 5 &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null' EXIT
# Wait (up to five seconds) until the virtual printer has made its links, so they are
# listed when the operator first chooses an entry.
for _ in $(seq 50); do
    [ -e "$sim_dir/ttyKP70" ] && [ -e "$sim_dir/lpKP70" ] && break
    sleep 0.1
done
# "Network Setting" finds the five virtual Ethernet printers (127.0.0.2 to 127.0.0.6) by
# the loopback network's broadcast; each also answers on TCP port 6001 at its address, with
# a memory of its own, so `kp70ctl provision --discover` can set them up.
export KP70_DISCOVERY_BROADCAST=${KP70_DISCOVERY_BROADCAST:-127.255.255.255}
# The virtual printer's serial and parallel sides are ptys, which the system's port lists do
# not show; the tool lists the lp* link among the parallel ports. PORT selects these extra
# ports ahead of the system's own (/dev/ttyS0 and the like, where nothing answers).
export KP70_EXTRA_PORTS="$sim_dir/ttyKP70:$sim_dir/lpKP70${KP70_EXTRA_PORTS:+:$KP70_EXTRA_PORTS}"
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: starting the tool under xvfb-run."
    xvfb-run -a "$build_dir/src/gui/kp70tool"
else
    "$build_dir/src/gui/kp70tool"
fi
