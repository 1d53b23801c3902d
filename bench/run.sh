#!/usr/bin/env bash
# Runs the benchmarks of a build directory (default build/release). Start-up is measured
# in a scratch directory, with the XDG folders there too, because kp70tool writes its
# error.log (and the tools their profile) in one of those.
set -euo pipefail
build_dir=$(cd "${1:-build/release}" && pwd)
runs=${KP70_BENCH_RUNS:-10}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
export XDG_CONFIG_HOME=$scratch/config XDG_STATE_HOME=$scratch/state

bench=("$build_dir/bench/kp70bench_startup" --tool "$build_dir/src/gui/kp70tool"
       --minimal "$build_dir/bench/kp70bench_minimal_dialog" --runs "$runs")
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]; then
    "${bench[@]}"
elif command -v xvfb-run >/dev/null; then
    echo "No display found: running under xvfb-run."
    xvfb-run -a "${bench[@]}"
else
    echo "No display found: running on Qt's offscreen platform."
    QT_QPA_PLATFORM=offscreen "${bench[@]}"
fi

# Logo conversion: ConvertMono/ConvertGray, then kp70ctl against ImageMagick (one run).
source_dir=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build_dir/CMakeCache.txt")
"$build_dir/bench/kp70bench_logo_convert"
bash "$source_dir/bench/logo_convert_vs_imagemagick.sh" "$build_dir"

# The profile: the logo list from the largest profile allowed, a 60 MB one refused unread.
"$build_dir/bench/kp70bench_profile"
# Discovery: one search against 253 virtual printers, five rounds.
"$build_dir/bench/kp70bench_discovery"
# Firmware download to kp70sim over TCP and its pty: wall time against waits plus link time.
"$build_dir/bench/kp70bench_firmware"
# Provisioning: one backup onto 20 virtual printers over TCP, wall time against the slowest.
"$build_dir/bench/kp70bench_provision"
# Fleet monitoring: kp70ctl monitor polling 253 printers every second for a minute.
"$build_dir/bench/kp70bench_monitor"
