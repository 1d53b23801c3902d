#!/usr/bin/env bash
# Tries the Debian package the way a user gets it: checks it with lintian, installs it with
# apt-get into this system, checks the monitor's service unit with systemd-analyze, runs the
# three installed programs (kp70ctl, its monitor too, against kp70sim from /usr/bin, kp70tool
# under xvfb-run until its window shows), removes it with --purge and checks that nothing of
# it is left in /usr and /etc. Every wait is bounded.
# Usage: package-test.sh [BUILD_DIR]   (default build/package; run `make package` first)
set -uo pipefail

build_dir=${1:-build/package}
if [ "$(id -u)" -ne 0 ]; then
    echo "package-test.sh installs the package into this system with apt-get and removes it"
    echo "again, so it needs root: run it as root (sudo make package-test)."
    exit 2
fi
debs=("$build_dir"/kp70tool_*_amd64.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    echo "Found no single kp70tool_*_amd64.deb in $build_dir: build it with make package."
    exit 2
fi
deb=$(realpath "${debs[0]}")
version=$(dpkg-deb -f "$deb" Version)

work=$(mktemp -d /tmp/kp70-package-test.XXXXXX)
sim_pid=""
monitor_pid=""
installed_here=0
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
step() {
    echo "== $* (${SECONDS}s)"
}
cleanup() {
    [ -n "$monitor_pid" ] && kill "$monitor_pid" 2>/dev/null && wait "$monitor_pid" 2>/dev/null
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    # A failed run leaves no package behind.
    if [ $installed_here = 1 ] && dpkg -s kp70tool >/dev/null 2>&1; then
        DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -q kp70tool >/dev/null 2>&1
    fi
    rm -rf "$work"
}
trap cleanup EXIT

step "lintian $(basename "$deb")"
# Warnings fail as errors do; the package carries its overrides, each with its reason.
if ! timeout 600 lintian --fail-on error,warning --display-info "$deb"; then
    fail "lintian reports errors or warnings"
fi

if dpkg -s kp70tool >/dev/null 2>&1; then
    echo "kp70tool is installed already (version $(dpkg-query -W -f='${Version}' kp70tool));"
    echo "remove it first (apt-get remove --purge kp70tool), so the test starts clean."
    exit 2
fi
# What of the package's paths exists before it is installed (shared folders such as
# /usr/share/man/man1): everything else must be gone after the purge.
dpkg-deb -c "$deb" | awk '{ print $NF }' | sed 's|^\./|/|; s|/$||' | grep '^/usr/' >"$work/paths"
while read -r path; do [ -e "$path" ] && echo "$path"; done <"$work/paths" >"$work/before"

step "apt-get install $deb"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libqt6widgets6 libudev1 libpng16-16 libcpp-httplib0.11 libc6; do
    grep -q "$library" <<<"$depends" || fail "Depends lacks $library (shlibdeps)"
done
installed_here=1
if ! DEBIAN_FRONTEND=noninteractive timeout 600 apt-get install -y -q --no-install-recommends "$deb"; then
    fail "apt-get install"
    exit 1
fi

step "the installed files"
for program in kp70tool kp70ctl kp70sim; do
    [ "$(command -v $program)" = /usr/bin/$program ] || fail "$program is not /usr/bin/$program"
    got=$(timeout 20 /usr/bin/$program --version)
    [ "$got" = "$program $version" ] || fail "$program --version says '$got', not '$program $version'"
    man -w $program >/dev/null 2>&1 || fail "man $program finds no page"
done
MANPAGER=cat timeout 20 man kp70ctl 2>/dev/null | grep -q "logo upload" || fail "man kp70ctl shows no 'logo upload'"
app=org.kp70tool.kp70tool
desktop-file-validate /usr/share/applications/$app.desktop || fail "desktop-file-validate"
timeout 60 appstreamcli validate --no-net /usr/share/metainfo/$app.metainfo.xml || fail "appstreamcli validate"
for icon in scalable/apps/kp70tool.svg 16x16/apps/kp70tool.png 48x48/apps/kp70tool.png \
    256x256/apps/kp70tool.png; do
    [ -s /usr/share/icons/hicolor/$icon ] || fail "no icon $icon"
done
[ -s /usr/share/doc/kp70tool/copyright ] || fail "no copyright file"
zcat /usr/share/doc/kp70tool/changelog.gz | head -1 | grep -qF "kp70tool ($version)" ||
    fail "changelog.gz does not begin with version $version"
unit=/lib/systemd/system/kp70-monitor.service
if [ -f $unit ]; then
    # systemd-analyze only warns about a key it does not know: any word from it fails.
    said=$(timeout 60 systemd-analyze verify $unit 2>&1) && [ -z "$said" ] ||
        fail "systemd-analyze verify $unit: $said"
else
    fail "no $unit"
fi
for conffile in /etc/kp70tool/monitor-targets /etc/default/kp70-monitor; do
    dpkg-query --control-show kp70tool conffiles 2>/dev/null | grep -qxF $conffile ||
        fail "$conffile is not a conffile"
done
[ -s /usr/share/kp70tool/prometheus/kp70-alerts.yml ] || fail "no alert rules in /usr/share/kp70tool/prometheus"
completion=$(bash -c 'source /usr/share/bash-completion/bash_completion
    _completion_loader kp70ctl; complete -p kp70ctl' 2>&1)
grep -q "_kp70ctl" <<<"$completion" || fail "bash completion for kp70ctl not loaded: $completion"

# The programs run as a user starts them: in the home folder, which holds no profile, so the
# profile and error.log go to the XDG folders.
home=$work/home
mkdir -p "$home"
export HOME=$home
unset XDG_CONFIG_HOME XDG_STATE_HOME
cd "$home" || exit 1

step "kp70sim from /usr/bin"
/usr/bin/kp70sim --tcp 127.0.0.1:0 --pty "$work/ttyKP70" --state "$work/state.json" \
    --out "$work/out" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 100); do
    grep -q '^ready$' "$work/sim.out" && break
    kill -0 $sim_pid 2>/dev/null || break
    sleep 0.1
done
tcp=$(awk '/^tcp / { print $2 }' "$work/sim.out")
if ! grep -q '^ready$' "$work/sim.out" || [ -z "$tcp" ]; then
    fail "kp70sim did not get ready: $(cat "$work/sim.out" "$work/sim.err")"
else
    step "kp70ctl setup get --port (serial side)"
    if timeout 60 kp70ctl setup get --port "$work/ttyKP70" >"$work/get.out" 2>"$work/get.err"; then
        grep -q "paper-width" "$work/get.out" || fail "setup get printed no paper-width: $(cat "$work/get.out")"
    else
        fail "kp70ctl setup get: $(cat "$work/get.err")"
    fi

    step "kp70ctl logo upload --net $tcp"
    # A 16 x 16 one-bit bitmap: a black frame.
    {
        printf 'BM\x7e\x00\x00\x00\x00\x00\x00\x00\x3e\x00\x00\x00'
        printf '\x28\x00\x00\x00\x10\x00\x00\x00\x10\x00\x00\x00\x01\x00\x01\x00'
        printf '\x00\x00\x00\x00\x40\x00\x00\x00\x13\x0b\x00\x00\x13\x0b\x00\x00'
        printf '\x02\x00\x00\x00\x02\x00\x00\x00'
        printf '\x00\x00\x00\x00\xff\xff\xff\x00'
        printf '\x00\x00\x00\x00'
        for _ in $(seq 14); do printf '\x7f\xfe\x00\x00'; done
        printf '\x00\x00\x00\x00'
    } >"$work/frame.bmp"
    if timeout 120 kp70ctl logo upload "$work/frame.bmp" --net "$tcp" >"$work/upload.out" 2>"$work/upload.err"; then
        grep -qE '"width": ?16' "$work/state.json" || fail "kp70sim holds no 16-dot NV image after the upload"
        [ -s "$home/.config/kp70tool/kp70tool.INI" ] ||
            fail "the upload stored no list in ~/.config/kp70tool/kp70tool.INI"
        timeout 20 kp70ctl logo list | grep -q "frame.bmp" || fail "kp70ctl logo list does not show frame.bmp"
    else
        fail "kp70ctl logo upload: $(cat "$work/upload.err")"
    fi

    step "kp70ctl monitor --net $tcp"
    kp70ctl monitor --net "$tcp" --listen 127.0.0.1:0 --interval 0.5 >"$work/monitor.out" 2>"$work/monitor.err" &
    monitor_pid=$!
    url=""
    for _ in $(seq 100); do
        url=$(grep -o 'http://127\.0\.0\.1:[0-9]*' "$work/monitor.out")
        [ -n "$url" ] && break
        kill -0 $monitor_pid 2>/dev/null || break
        sleep 0.1
    done
    metrics_port=${url##*:}
    # The scrape as Prometheus makes it, with bash's own TCP (no HTTP client is installed).
    scrape() {
        exec 3<>"/dev/tcp/127.0.0.1/$metrics_port" || return 1
        printf 'GET /metrics HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n' >&3
        timeout 10 cat <&3
        exec 3<&-
    }
    answered=0
    for _ in $(seq 100); do
        [ -n "$metrics_port" ] || break
        if scrape 2>/dev/null | grep -qF "kp70_printer_up{printer=\"$tcp\"} 1"; then
            answered=1
            break
        fi
        sleep 0.1
    done
    [ $answered = 1 ] || fail "kp70ctl monitor did not show $tcp up: $(cat "$work/monitor.out" "$work/monitor.err")"
    kill -TERM $monitor_pid 2>/dev/null
    timeout 20 tail --pid=$monitor_pid -f /dev/null
    wait $monitor_pid || fail "kp70ctl monitor did not end cleanly at SIGTERM: $(cat "$work/monitor.err")"
    monitor_pid=""
fi

step "kp70tool under xvfb-run"
# The connection screen's title; the window must show within 30 s.
# On the X display xvfb-run makes, whatever platform the caller's environment names (test
# runs set QT_QPA_PLATFORM=offscreen, which shows no window).
cat >"$work/gui.sh" <<'EOF'
QT_QPA_PLATFORM=xcb /usr/bin/kp70tool &
tool=$!
shown=1
for _ in $(seq 150); do
    if xdotool search --name "KP 70 Tool" >/dev/null 2>&1; then
        shown=0
        break
    fi
    sleep 0.2
done
kill $tool 2>/dev/null
wait $tool 2>/dev/null
exit $shown
EOF
if ! timeout 90 xvfb-run -a bash "$work/gui.sh" >"$work/gui.out" 2>&1; then
    fail "kp70tool's window did not appear: $(cat "$work/gui.out")"
fi
grep -q "ERROR LOG : Tool - Ver" "$home/.local/state/kp70tool/error.log" 2>/dev/null ||
    fail "kp70tool wrote no ~/.local/state/kp70tool/error.log"

kill "$sim_pid" 2>/dev/null
wait "$sim_pid" 2>/dev/null
sim_pid=""
cd / || exit 1

step "apt-get remove --purge kp70tool"
DEBIAN_FRONTEND=noninteractive timeout 300 apt-get remove --purge -y -q kp70tool || fail "apt-get remove --purge"
installed_here=0
while read -r path; do
    [ -e "$path" ] && ! grep -qxF "$path" "$work/before" && fail "left behind: $path"
done <"$work/paths"
left=$(find /usr -name 'kp70*' 2>/dev/null)
[ -z "$left" ] || fail "left in /usr: $left"
for path in /etc/kp70tool /etc/default/kp70-monitor /lib/systemd/system/kp70-monitor.service; do
    [ -e $path ] && fail "left behind after the purge: $path"
done

step "done: $failures failures"
[ $failures -eq 0 ]
