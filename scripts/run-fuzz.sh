#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for SECONDS each and prints one line per
# target: executions, coverage, findings. Each target starts from its seeds
# (tests/fuzz/seeds/<target>.txt; the bitmap target also gets the BMP files of
# ../shared/testdata/bmpsuite when they are there) and from what earlier runs found
# interesting (BUILD_DIR/fuzz-corpus/<target>, kept between runs).
#
#   bash scripts/run-fuzz.sh SECONDS [BUILD_DIR]      (defaults: 5, build/fuzz)
#
# The last line sums them up: "fuzz: T targets, S seconds each, F findings".
# Exits 1 when a target found something (a crash, leak, time-out or out-of-memory) or did
# not run; the input that did it is in BUILD_DIR/fuzz-findings/<target>/ and the target's
# output in BUILD_DIR/fuzz-logs/<target>.log.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-5}
build_dir=${2:-build/fuzz}
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 SECONDS [BUILD_DIR] (SECONDS a whole number above 0)" >&2
    exit 2
fi
bmpsuite=../shared/testdata/bmpsuite

shopt -s nullglob
targets=("$build_dir"/tests/fuzz/fuzz_*)
if [ ${#targets[@]} -eq 0 ]; then
    echo "no fuzz targets in $build_dir/tests/fuzz: build them first (make fuzz)" >&2
    exit 1
fi

# Undefined behaviour and leaks end a run as findings.
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

# Writes one seed file per line of a seeds file (printf '%b' escapes; '#' lines skipped).
write_seeds() {
    local list=$1 dir=$2 n=0 line
    [ -f "$list" ] || return 0
    while IFS= read -r line || [ -n "$line" ]; do
        [[ -z $line || $line == \#* ]] && continue
        n=$((n + 1))
        printf '%b' "$line" >"$dir/seed-$n"
    done <"$list"
}

failed=0
count=0
findings_total=0
for binary in "${targets[@]}"; do
    [ -x "$binary" ] || continue
    name=$(basename "$binary")
    seeds="$build_dir/fuzz-seeds/$name"
    corpus="$build_dir/fuzz-corpus/$name"
    findings="$build_dir/fuzz-findings/$name"
    log="$build_dir/fuzz-logs/$name.log"
    rm -rf "$seeds" "$findings"
    mkdir -p "$seeds" "$corpus" "$findings" "$(dirname "$log")"
    write_seeds "tests/fuzz/seeds/$name.txt" "$seeds"
    if [ "$name" = fuzz_logo_bitmap ] && [ -d "$bmpsuite" ]; then
        find "$bmpsuite" -name '*.bmp' -exec cp {} "$seeds/" \;
    fi

    status=0
    # New interesting inputs go to the first folder; the seeds are only read.
    "$binary" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$findings/" "$corpus" "$seeds" >"$log" 2>&1 || status=$?

    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2 || true)
    ft=$(grep -o 'ft: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2 || true)
    found=("$findings"/crash-* "$findings"/leak-* "$findings"/timeout-* "$findings"/oom-*)
    count=$((count + 1))
    findings_total=$((findings_total + ${#found[@]}))
    line=$(printf '%-22s %10s executions, coverage %s edges (%s features), %d findings' \
        "$name" "${runs:-?}" "${cov:-?}" "${ft:-?}" "${#found[@]}")
    if [ ${#found[@]} -gt 0 ] || [ "$status" -ne 0 ]; then
        failed=1
        echo "$line: FAILED (exit status $status)"
        for f in "${found[@]}"; do echo "    reproduce: $binary $f"; done
        echo "    output: $log"
        tail -n 30 "$log" | sed 's/^/    | /' >&2
    else
        echo "$line"
    fi
done
echo "fuzz: $count targets, $seconds seconds each, $findings_total findings"
exit $failed
