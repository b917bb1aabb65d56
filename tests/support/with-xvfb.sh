#!/usr/bin/env bash
# Runs a command against a private Xvfb on a display the server picks itself, so parallel
# test runs never collide. Exits with the command's status; the Xvfb never outlives us.
#
#   with-xvfb.sh COMMAND [ARGS...]
#
# XVFB_SCREEN overrides the screen geometry (default 1280x800x24).

set -u

if [ "$#" -eq 0 ]; then
    echo "usage: $0 COMMAND [ARGS...]" >&2
    exit 2
fi

workdir=$(mktemp -d "${TMPDIR:-/tmp}/with-xvfb.XXXXXX") || exit 1
xvfb_pid=
cmd_pid=

# shellcheck disable=SC2317  # only reached through the EXIT trap
cleanup() {
    if [ -n "$cmd_pid" ] && kill -0 "$cmd_pid" 2>/dev/null; then
        kill -TERM "$cmd_pid" 2>/dev/null
        wait "$cmd_pid" 2>/dev/null
    fi
    if [ -n "$xvfb_pid" ]; then
        kill -TERM "$xvfb_pid" 2>/dev/null
        # Xvfb exits promptly on SIGTERM; don't let a wedged one block us forever.
        for _ in $(seq 50); do
            kill -0 "$xvfb_pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    rm -rf "$workdir"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# If this script is SIGKILLed (e.g. by a test timeout), the kernel still stops the server.
deathsig=()
if setpriv --help 2>/dev/null | grep -q -- --pdeathsig; then
    deathsig=(setpriv --pdeathsig TERM --)
fi

fifo="$workdir/displayfd"
mkfifo "$fifo" || exit 1
"${deathsig[@]}" Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 "${XVFB_SCREEN:-1280x800x24}" \
    3>"$fifo" </dev/null >/dev/null 2>"$workdir/xvfb.log" &
xvfb_pid=$!

# Xvfb writes the display number only once it accepts connections; EOF means it died.
display=
read -r -t 30 display <"$fifo"
if ! [[ "$display" =~ ^[0-9]+$ ]]; then
    echo "$0: Xvfb failed to start" >&2
    cat "$workdir/xvfb.log" >&2
    exit 1
fi

export DISPLAY=":$display"
unset WAYLAND_DISPLAY
# Qt wants a private runtime directory; a bare test machine has none.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    mkdir -m 700 "$workdir/runtime" && export XDG_RUNTIME_DIR="$workdir/runtime"
fi

# Run in the background so that a signal to this script is handled at once rather than after
# the command finishes; keep stdin, which bash would otherwise replace with /dev/null.
"$@" <&0 &
cmd_pid=$!
wait "$cmd_pid"
status=$?
cmd_pid=
exit "$status"
