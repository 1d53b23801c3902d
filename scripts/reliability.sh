#!/usr/bin/env bash
# The reliability figures in one table: how long each parser was fuzzed and what it found,
# how many cells of the fault matrix passed, how many kill points the profile saves
# survived, what the hostile network sent and what the tool made of it, and how many
# descriptors, threads or child processes were left behind.
#
#   bash scripts/reliability.sh [BUILD_DIR] [FUZZ_BUILD_DIR]     (build/default, build/fuzz)
#   FUZZ_SECONDS=N (default 5) sets each fuzz target's run.
#
# The fault matrix (scripts/fault-matrix.sh) and the hostile network (scripts/hostile-network.sh,
# else the tests labelled "hostile") run without arguments, with BUILD_DIR in the
# environment. Each part is one command; the last line of its output that carries the part's figure is
# read (its whole output is in BUILD_DIR/reliability-logs/PART.log). A part whose command
# is not there (a script or test not built or not yet written) shows "not run". Exits 1 when
# a part failed: its command failed, its figure says something went wrong, or it printed no
# figure.
set -uo pipefail
cd "$(dirname "$0")/.."

build_dir=${1:-build/default}
fuzz_dir=${2:-build/fuzz}
fuzz_seconds=${FUZZ_SECONDS:-5}
# The other parts' scripts find the build here.
export BUILD_DIR="$build_dir"
logs="$build_dir/reliability-logs"
mkdir -p "$logs"

names=()
figures=()
verdicts=()
failed=0

# run PART PATTERN COMMAND...: runs the command, keeps its output and prints (to stdout)
# the last line matching PATTERN; returns the command's status.
run() {
    local part=$1 pattern=$2
    shift 2
    echo "== $part: $*" >&2
    "$@" >"$logs/$part.log" 2>&1
    local status=$?
    grep -E "$pattern" "$logs/$part.log" | tail -n 1
    return $status
}

# add NAME FIGURE VERDICT: one row of the table.
add() {
    names+=("$1")
    figures+=("$2")
    verdicts+=("$3")
    if [ "$3" = FAILED ]; then failed=1; fi
}

# verdict STATUS OK: "pass" when the command succeeded and the figure is good.
verdict() {
    if [ "$1" -eq 0 ] && [ "$2" = yes ]; then echo pass; else echo FAILED; fi
}

# 1. Fuzzing: every libFuzzer target for FUZZ_SECONDS.
if compgen -G "$fuzz_dir/tests/fuzz/fuzz_*" >/dev/null; then
    line=$(run fuzzing '^fuzz: [0-9]+ targets' bash scripts/run-fuzz.sh "$fuzz_seconds" "$fuzz_dir")
    status=$?
    if [[ $line =~ ^fuzz:\ ([0-9]+)\ targets,\ ([0-9]+)\ seconds\ each,\ ([0-9]+)\ findings ]]; then
        ok=$([ "${BASH_REMATCH[3]}" -eq 0 ] && echo yes || echo no)
        add "fuzzing" "${BASH_REMATCH[1]} targets x ${BASH_REMATCH[2]} s each, ${BASH_REMATCH[3]} findings" \
            "$(verdict $status $ok)"
    else
        add "fuzzing" "no figure (see $logs/fuzzing.log)" FAILED
    fi
else
    add "fuzzing" "not run (no fuzz build in $fuzz_dir: make fuzz)" "not run"
fi

# 2. Fault matrix: kp70ctl against kp70sim under every fault.
if [ -f scripts/fault-matrix.sh ]; then
    line=$(run fault-matrix '^matrix: [0-9]+ of [0-9]+ cells passed' \
        bash scripts/fault-matrix.sh)
    status=$?
    if [[ $line =~ ^matrix:\ ([0-9]+)\ of\ ([0-9]+)\ cells\ passed ]]; then
        ok=$([ "${BASH_REMATCH[1]}" -eq "${BASH_REMATCH[2]}" ] && [ "${BASH_REMATCH[2]}" -gt 0 ] \
            && echo yes || echo no)
        add "fault matrix" "${BASH_REMATCH[1]} of ${BASH_REMATCH[2]} cells passed" \
            "$(verdict $status $ok)"
    else
        add "fault matrix" "no figure (see $logs/fault-matrix.log)" FAILED
    fi
else
    add "fault matrix" "not run (no scripts/fault-matrix.sh)" "not run"
fi

# 3. Crash-safe saves: SIGKILL at many points while the profile is saved.
crash="$build_dir/tests/reliability/kp70_crash_safe_save_tests"
if [ -x "$crash" ]; then
    line=$(run kill-points '^kill points: [0-9]+ of [0-9]+ survived' "$crash")
    status=$?
    if [[ $line =~ ^kill\ points:\ ([0-9]+)\ of\ ([0-9]+)\ survived ]]; then
        ok=$([ "${BASH_REMATCH[1]}" -eq "${BASH_REMATCH[2]}" ] && echo yes || echo no)
        add "crash-safe saves" "$line" "$(verdict $status $ok)"
    else
        add "crash-safe saves" "no figure (see $logs/kill-points.log)" FAILED
    fi
else
    add "crash-safe saves" "not run (not built: make build)" "not run"
fi

# 4. Hostile network: random datagrams during a search, hostile TCP peers.
# ctest -V puts the test's number in front of each line of its output ("526: hostile: ...").
hostile_pattern='^([0-9]+: )?hostile: [0-9]+ datagrams sent, [0-9]+ frames wrongly listed, [0-9]+ operations ended with their message of [0-9]+'
hostile_cmd=()
if [ -f scripts/hostile-network.sh ]; then
    hostile_cmd=(bash scripts/hostile-network.sh)
elif [ -d "$build_dir" ] && ctest --test-dir "$build_dir" -N -L hostile 2>/dev/null |
    grep -q 'Total Tests: [1-9]'; then
    hostile_cmd=(ctest --test-dir "$build_dir" -L hostile -V)
fi
if [ ${#hostile_cmd[@]} -gt 0 ]; then
    line=$(run hostile-network "$hostile_pattern" "${hostile_cmd[@]}")
    status=$?
    line=$(sed -E 's/^[0-9]+: //' <<<"$line")
    if [[ $line =~ ^hostile:\ ([0-9]+)\ datagrams\ sent,\ ([0-9]+)\ frames\ wrongly\ listed,\ ([0-9]+)\ operations\ ended\ with\ their\ message\ of\ ([0-9]+) ]]; then
        ok=$([ "${BASH_REMATCH[2]}" -eq 0 ] && [ "${BASH_REMATCH[3]}" -eq "${BASH_REMATCH[4]}" ] \
            && echo yes || echo no)
        add "hostile network" "${BASH_REMATCH[1]} datagrams sent, ${BASH_REMATCH[2]} frames wrongly listed, ${BASH_REMATCH[3]} of ${BASH_REMATCH[4]} operations ended with their message" \
            "$(verdict $status $ok)"
    else
        add "hostile network" "no figure (see $logs/hostile-network.log)" FAILED
    fi
else
    add "hostile network" "not run (no scripts/hostile-network.sh or ctest label hostile)" "not run"
fi

# 5. Resource hygiene: descriptors, threads and children left behind by the sessions.
hygiene="$build_dir/tests/reliability/kp70_resource_hygiene_tests"
if [ -x "$hygiene" ]; then
    line=$(run leaks '^leaks: [0-9]+ found' "$hygiene")
    status=$?
    if [[ $line =~ ^leaks:\ ([0-9]+)\ found ]]; then
        ok=$([ "${BASH_REMATCH[1]}" -eq 0 ] && echo yes || echo no)
        add "resource hygiene" "${BASH_REMATCH[1]} leaks found" "$(verdict $status $ok)"
    else
        add "resource hygiene" "no figure (see $logs/leaks.log)" FAILED
    fi
else
    add "resource hygiene" "not run (not built: make build)" "not run"
fi

echo
printf '%-18s %-8s %s\n' "part" "result" "figures"
printf '%-18s %-8s %s\n' "----" "------" "-------"
for i in "${!names[@]}"; do
    printf '%-18s %-8s %s\n' "${names[$i]}" "${verdicts[$i]}" "${figures[$i]}"
done
exit $failed
