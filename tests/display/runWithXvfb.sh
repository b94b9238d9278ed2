#!/usr/bin/env bash
# usage: runWithXvfb.sh DEPTH COMMAND [ARGUMENTS...]
# Runs COMMAND with DISPLAY set to a private Xvfb server whose screen has DEPTH bits per pixel, and
# stops the server afterwards. The server takes a free display number itself (-displayfd), so
# parallel runs never collide; it and the command are killed with this script even when the script
# is killed.
set -euo pipefail

if [[ $# -lt 2 ]]; then
    echo "usage: $0 DEPTH COMMAND [ARGUMENTS...]" >&2
    exit 2
fi
depth="$1"
shift

work="$(mktemp -d)"
xvfb_pid=""

stop_server() {
    if [[ -n "$xvfb_pid" ]]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap stop_server EXIT

# Xvfb writes its display number into the FIFO once it accepts connections.
mkfifo "$work/display"
setpriv --pdeathsig KILL \
    Xvfb -displayfd 3 -screen 0 "1280x1024x$depth" -nolisten tcp -noreset \
    3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!

number=""
read -r -t 30 number <"$work/display" || true
if [[ ! "$number" =~ ^[0-9]+$ ]]; then
    echo "$0: Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
fi

# The test, too, dies with this script. A signal to the script ends the test first, and the
# second wait collects its status.
DISPLAY=":$number" setpriv --pdeathsig KILL "$@" &
test_pid=$!
trap 'kill "$test_pid" 2>/dev/null || true' TERM INT
status=0
wait "$test_pid" || status=$?
if kill -0 "$test_pid" 2>/dev/null; then
    wait "$test_pid" || status=$?
fi
exit "$status"
