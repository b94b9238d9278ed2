#!/usr/bin/env bash
# Checks the bash completion of dravixctl: dravixctlCompletionTest.sh COMPLETION_FILE PROGRAM
# bash-completion's helpers are stood in for by minimal versions that set the same variables,
# so the test runs where that package is not installed.
set -uo pipefail
COMPLETION_FILE="$1"
PROGRAM="$2"
FAILED=0

_init_completion() {
    words=("${COMP_WORDS[@]}")
    cword=$COMP_CWORD
    cur="${COMP_WORDS[COMP_CWORD]}"
    prev="${COMP_WORDS[COMP_CWORD - 1]:-}"
}
_filedir() { COMPREPLY=(FILES); }

# shellcheck source=/dev/null
source "$COMPLETION_FILE" || exit 1

# expect "LINE" "WORDS...": completes LINE (the last word is the one being completed).
expect() {
    local line="$1" expected="$2"
    read -r -a COMP_WORDS <<<"$line"
    [[ "$line" == *" " ]] && COMP_WORDS+=("")
    COMP_WORDS[0]="$PROGRAM"
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _dravixctl
    local got="${COMPREPLY[*]:-}"
    if [[ "$got" != "$expected" ]]; then
        echo "FAILED: '$line' completes to '$got', expected '$expected'"
        FAILED=1
    fi
}

expect "dravixctl s" "set snapshot stream"
expect "dravixctl --camera 1 f" "firmware"
expect "dravixctl --c" "--camera"
expect "dravixctl stream --s" "--seconds"
expect "dravixctl get hu" "hue"
expect "dravixctl --json set ov-exp-w" "ov-exp-weight"
expect "dravixctl qpr " "save load"
expect "dravixctl qpr save " "FILES"
expect "dravixctl firmware up-" "up-head up-uft up-led"
expect "dravixctl log --level d" "debug"
expect "dravixctl get hue " ""
exit $FAILED
