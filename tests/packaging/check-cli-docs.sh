#!/usr/bin/env bash
# Every verb and option kp70ctl's help lists must be in its man page (each verb in a section
# of its own with an example) and offered by the bash completion, and every kp70sim option in
# kp70sim's page, so the documents cannot drift from the programs.
# Usage: check-cli-docs.sh KP70CTL KP70CTL_PAGE COMPLETION KP70SIM KP70SIM_PAGE
set -u
kp70ctl=$(realpath "$1") ctl_page=$(realpath "$2") completion=$(realpath "$3")
kp70sim=$(realpath "$4") sim_page=$(realpath "$5")

# kp70ctl reads and creates its profile folders: keep them out of the real home.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state LANG=C LC_ALL=C
# The completion runs the kp70ctl of the command line being completed.
PATH=$(dirname "$kp70ctl"):$PATH
cd "$work" || exit 1

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The subcommands of a verb path, one a line.
subcommands() {
    "$kp70ctl" "$@" --help | awk '/^[^ ].*:$/ { on = ($0 == "Subcommands:"); next }
                                  on && /^  [a-z]/ { print $1 }'
}
# "SECTION<tab>--option" for every long option of a help text but --help.
options() {
    awk '/^[^ ].*:$/ { section = substr($0, 1, length($0) - 1); next }
         match($0, /^  (-[a-zA-Z],)?--[a-z0-9-]+/) {
             name = substr($0, 3, RLENGTH - 2); sub(/^-[a-zA-Z],/, "", name)
             if (name != "--help") print section "\t" name
         }'
}
# The lines of a page section: "# TITLE" or "## TITLE" up to the next heading.
page_section() {
    awk -v want="$2" '/^#/ { on = ($0 == want); next } on' "$1"
}
# Whether a text holds the option as a word of its own (--port, not --ports).
has_option() {
    grep -qE -- "(^|[^a-z0-9-])$2([^a-z0-9-]|\$)" <<<"$1"
}

# The verb tree, leaves and inner levels, read from the help.
leaves=()
levels=("")
queue=("")
while [ ${#queue[@]} -gt 0 ]; do
    path=${queue[0]}
    queue=("${queue[@]:1}")
    # shellcheck disable=SC2086  # a path is words
    subs=$(subcommands $path)
    if [ -z "$subs" ]; then
        leaves+=("$path")
        continue
    fi
    [ -n "$path" ] && levels+=("$path")
    for sub in $subs; do queue+=("${path:+$path }$sub"); done
done
# A help that no longer parses must not pass as "nothing to check".
[ ${#leaves[@]} -ge 15 ] || fail "only ${#leaves[@]} verbs read from kp70ctl --help"

source_completion() {
    if [ ! -f /usr/share/bash-completion/bash_completion ]; then
        fail "bash-completion is not installed (scripts/install-deps.sh installs it)"
        return 1
    fi
    # shellcheck disable=SC1091
    source /usr/share/bash-completion/bash_completion
    # shellcheck disable=SC1090
    source "$completion"
}
# COMPREPLY for a command line whose last word is being completed.
complete_words() {
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMP_LINE="$*"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _kp70ctl 2>/dev/null
    printf '%s\n' "${COMPREPLY[@]}"
}
completion_ok=1
source_completion || completion_ok=0

# Man page: each verb a section with an example; each of its options in it, the connection
# options in CONNECTION OPTIONS. Completion: each verb's options after "--".
connection=$(page_section "$ctl_page" "# CONNECTION OPTIONS")
declare -A connection_checked
for verb in "${leaves[@]}"; do
    section=$(page_section "$ctl_page" "## $verb")
    [ -n "$section" ] || fail "kp70ctl page: no section '## $verb'"
    grep -qE "kp70ctl $verb( |\$)" <<<"$section" || fail "kp70ctl page: no example of 'kp70ctl $verb'"
    # shellcheck disable=SC2086
    help=$("$kp70ctl" $verb --help)
    offered=""
    # shellcheck disable=SC2086
    [ $completion_ok = 1 ] && offered=$(complete_words kp70ctl $verb --)
    while IFS=$'\t' read -r group option; do
        [ -n "$option" ] || continue
        if [ "$group" = Connection ]; then
            if [ -z "${connection_checked[$option]:-}" ]; then
                connection_checked[$option]=1
                has_option "$connection" "$option" || fail "kp70ctl page: $option not in CONNECTION OPTIONS"
            fi
        else
            has_option "$section" "$option" || fail "kp70ctl page: $option not in '## $verb'"
        fi
        [ $completion_ok = 1 ] && ! grep -qxF -- "$option" <<<"$offered" &&
            fail "completion: 'kp70ctl $verb --' does not offer $option"
    done < <(options <<<"$help")
done
# Sections of verbs that no longer exist.
while read -r heading; do
    verb=${heading#\#\# }
    printf '%s\n' "${leaves[@]}" | grep -qxF -- "$verb" || fail "kp70ctl page: '## $verb' is no verb"
done < <(grep '^## ' "$ctl_page")
while IFS=$'\t' read -r _ option; do
    has_option "$(page_section "$ctl_page" "# OPTIONS")" "$option" ||
        fail "kp70ctl page: $option not in OPTIONS"
done < <("$kp70ctl" --help | options)

if [ $completion_ok = 1 ]; then
    # Verbs at every level.
    for level in "${levels[@]}"; do
        # shellcheck disable=SC2086
        offered=$(complete_words kp70ctl $level "")
        # shellcheck disable=SC2086
        for sub in $(subcommands $level); do
            grep -qxF -- "$sub" <<<"$offered" ||
                fail "completion: 'kp70ctl${level:+ $level} ' does not offer $sub"
        done
    done
    # Values: what the completion offers for a few words, quoted as the shell needs it.
    while IFS='|' read -r line expected; do
        # shellcheck disable=SC2086
        offered=$(complete_words $line)
        grep -qxF -- "$expected" <<<"$offered" || fail "completion: '$line' does not offer '$expected'"
    done <<'TABLE'
kp70ctl logo upload --device KP70|KP70\ S
kp70ctl setup get --baud 96|9600
kp70ctl setup get --flow s|sw
kp70ctl firmware download --area l|lcd-font
kp70ctl logo print --size q|quadruple
kp70ctl setup set left-m|left-margin=
TABLE
    # Ports: the paths of `kp70ctl ports`, whatever the row says about them.
    ports=$(printf '%s\n' "Serial ports:" "  /dev/ttyS0  can be opened" \
        "  /dev/ttyUSB0  USB\\VID_0FE6&PID_811E  cannot be opened: permission denied; add ..." \
        "Parallel ports:" "  (none)" "USB printers:" "  /dev/usb/lp0  USB\\VID_1&PID_2  can be opened" |
        _kp70ctl_port_names | tr '\n' ' ')
    [ "$ports" = "/dev/ttyS0 /dev/ttyUSB0 /dev/usb/lp0 " ] || fail "completion: port names read as '$ports'"
fi

# kp70sim: every option in its page.
sim_text=$(cat "$sim_page")
while IFS=$'\t' read -r _ option; do
    has_option "$sim_text" "$option" || fail "kp70sim page: $option missing"
done < <("$kp70sim" --help | options)

echo "${#leaves[@]} kp70ctl verbs checked; $failures failures"
[ "$failures" -eq 0 ]
