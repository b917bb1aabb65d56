#!/usr/bin/env bash
# Runs a command against a private headless sway, with WAYLAND_DISPLAY set to the absolute path of
# its socket and SWAYSOCK to its IPC socket. sway refuses to run as root, so as root it runs as
# nobody with a runtime folder of its own; the command keeps its user and a runtime folder of its
# own. Exits with the command's status, or 77 (a skip to CTest) when sway cannot start.
#
#   with-sway.sh COMMAND [ARGS...]

set -u

skip=77

if [ "$#" -eq 0 ]; then
    echo "usage: $0 COMMAND [ARGS...]" >&2
    exit 2
fi

if ! command -v sway >/dev/null; then
    echo "$0: SKIP: sway is not installed" >&2
    exit "$skip"
fi

workdir=$(mktemp -d "${TMPDIR:-/tmp}/with-sway.XXXXXX") || exit 1
sway_pid=
cmd_pid=

# shellcheck disable=SC2317  # only reached through the EXIT trap
cleanup() {
    if [ -n "$cmd_pid" ] && kill -0 "$cmd_pid" 2>/dev/null; then
        kill -TERM "$cmd_pid" 2>/dev/null
        wait "$cmd_pid" 2>/dev/null
    fi
    if [ -n "$sway_pid" ]; then
        kill -TERM "$sway_pid" 2>/dev/null
        for _ in $(seq 50); do
            kill -0 "$sway_pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$sway_pid" 2>/dev/null
        wait "$sway_pid" 2>/dev/null
    fi
    rm -rf "$workdir"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# Clients of another user reach sway's socket through these folders without listing them.
chmod 711 "$workdir"
mkdir -m 700 "$workdir/sway-runtime" "$workdir/sway-home" "$workdir/runtime" || exit 1
printf 'xwayland disable\n' >"$workdir/config"
chmod 644 "$workdir/config"

launcher=()
if setpriv --help 2>/dev/null | grep -q -- --pdeathsig; then
    # If this script is SIGKILLed (e.g. by a test timeout), the kernel still stops sway.
    launcher=(setpriv --pdeathsig TERM)
fi
if [ "$(id -u)" -eq 0 ]; then
    if ! owner=$(getent passwd nobody) || [ ${#launcher[@]} -eq 0 ]; then
        echo "$0: SKIP: sway refuses to run as root, and there is no user nobody or no setpriv to run it as another" >&2
        exit "$skip"
    fi
    uid=$(echo "$owner" | cut -d: -f3)
    gid=$(echo "$owner" | cut -d: -f4)
    chown "$uid:$gid" "$workdir/sway-runtime" "$workdir/sway-home"
    launcher+=(--reuid="$uid" --regid="$gid" --clear-groups)
fi
[ ${#launcher[@]} -gt 0 ] && launcher+=(--)

"${launcher[@]}" env -i PATH="${PATH:-/usr/bin:/bin}" HOME="$workdir/sway-home" \
    XDG_RUNTIME_DIR="$workdir/sway-runtime" WLR_BACKENDS=headless WLR_RENDERER=pixman \
    WLR_LIBINPUT_NO_DEVICES=1 sway --config "$workdir/config" </dev/null >"$workdir/sway.log" 2>&1 &
sway_pid=$!

# sway creates its IPC socket after the Wayland one, once it is ready for clients.
socket=
ipc=
for _ in $(seq 100); do
    kill -0 "$sway_pid" 2>/dev/null || break
    socket=$(find "$workdir/sway-runtime" -maxdepth 1 -type s -name 'wayland-*' | head -n 1)
    ipc=$(find "$workdir/sway-runtime" -maxdepth 1 -type s -name 'sway-ipc.*' | head -n 1)
    [ -n "$socket" ] && [ -n "$ipc" ] && break
    sleep 0.1
done
if [ -z "$socket" ] || [ -z "$ipc" ] || ! SWAYSOCK="$ipc" swaymsg -t get_version >/dev/null 2>&1; then
    echo "$0: SKIP: sway did not start:" >&2
    tail -n 5 "$workdir/sway.log" >&2
    exit "$skip"
fi

export WAYLAND_DISPLAY="$socket" SWAYSOCK="$ipc" XDG_RUNTIME_DIR="$workdir/runtime"
unset DISPLAY

"$@" <&0 &
cmd_pid=$!
wait "$cmd_pid"
status=$?
cmd_pid=
exit "$status"
