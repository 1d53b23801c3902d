#!/usr/bin/env bash
# Whole-process comparison, one run each: `kp70ctl logo convert` against ImageMagick's
# Floyd-Steinberg dithering of the same 512 x 760 24-bit bitmap. Prints both times and the
# ratio (goal: kp70ctl at most a quarter of ImageMagick's time).
# Usage: bench/logo_convert_vs_imagemagick.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
build_dir=$(cd "${1:-build/release}" && pwd)
kp70ctl="$build_dir/src/cli/kp70ctl"
bmp_tool="$build_dir/bench/kp70bench_logo_bmp"
if ! convert -version 2>/dev/null | grep -q ImageMagick; then
    echo "ImageMagick is not installed (scripts/install-deps.sh installs it); skipped."
    exit 0
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$bmp_tool" "$scratch/in.bmp"

now_ns() { date +%s%N; }
start=$(now_ns)
"$kp70ctl" logo convert "$scratch/in.bmp" --png "$scratch/ours.png" >/dev/null
ours=$(( $(now_ns) - start ))
start=$(now_ns)
convert "$scratch/in.bmp" -colorspace Gray -dither FloydSteinberg -monochrome "$scratch/im.pbm"
theirs=$(( $(now_ns) - start ))

awk -v o="$ours" -v t="$theirs" 'BEGIN {
    printf "kp70ctl logo convert: %.1f ms\n", o / 1e6
    printf "ImageMagick convert:  %.1f ms\n", t / 1e6
    printf "ratio (ours / ImageMagick): %.3f (goal: at most 0.25)\n", o / t
}'
