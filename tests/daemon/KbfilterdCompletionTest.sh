#!/usr/bin/env bash
# kbfilterd's bash completion in a bash with bash-completion loaded: options, once each; values where a
# set exists (users, groups, folders, "-" for the script); nothing where a number is expected.
set -u
completion=$1
if [[ ! -f /usr/share/bash-completion/bash_completion ]]; then
    echo "bash-completion is not installed"
    exit 77
fi
source /usr/share/bash-completion/bash_completion
source "$completion"

failures=0
# expect "WORDS..." -- "EXPECTED REPLY"
expect() {
    local want=${*: -1}
    local -a words=("${@:1:$#-2}")
    COMP_WORDS=("${words[@]}")
    COMP_CWORD=$((${#words[@]} - 1))
    COMP_LINE="${words[*]}"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _kbfilterd kbfilterd "${words[-1]}" "${words[-2]}"
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ')
    got=${got% }
    if [[ $got != "$want" ]]; then
        echo "FAIL: [${words[*]}] gave [$got], expected [$want]"
        failures=$((failures + 1))
    fi
}

cd "$(mktemp -d)" || exit 1
mkdir state
touch record.bin
expect kbfilterd --s -- "--script --socket-dir --state-dir"
expect kbfilterd --h -- "--help"
expect kbfilterd --state-dir /x --s -- "--script --socket-dir"
expect kbfilterd --state-dir=/x --st -- ""
expect kbfilterd --state-dir st -- "state"
expect kbfilterd --records rec -- "record.bin"
expect kbfilterd --user roo -- "root"
expect kbfilterd --group roo -- "root"
expect kbfilterd --vid "" -- ""
expect kbfilterd --pid 1 -- ""
expect kbfilterd --script - -- "-"
rm -rf "$PWD"
exit $((failures > 0))
