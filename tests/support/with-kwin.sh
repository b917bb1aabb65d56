#!/usr/bin/env bash
# Runs a command against a private headless KWin, with WAYLAND_DISPLAY set to the absolute path of
# its socket and DBUS_SESSION_BUS_ADDRESS to the session bus KWin serves its global shortcuts on.
# KWin offers fake input and window management only to programs whose desktop entry names them, with
# Exec their absolute path: each --grant BINARY (and the command itself) gets such an entry in a
# private data folder. Exits with the command's status, or 77 (a skip to CTest) when KWin cannot start.
#
#   with-kwin.sh [--grant BINARY]... COMMAND [ARGS...]

set -u

skip=77
grants=()
while [ "${1:-}" = --grant ]; do
    grants+=("$(realpath "$2")")
    shift 2
done
if [ "$#" -eq 0 ]; then
    echo "usage: $0 [--grant BINARY]... COMMAND [ARGS...]" >&2
    exit 2
fi
command_path=$(command -v "$1") && grants+=("$(realpath "$command_path")")

for tool in kwin_wayland dbus-daemon; do
    if ! command -v "$tool" >/dev/null; then
        echo "$0: SKIP: $tool is not installed" >&2
        exit "$skip"
    fi
done

workdir=$(mktemp -d "${TMPDIR:-/tmp}/with-kwin.XXXXXX") || exit 1
bus_pid=
kwin_pid=
cmd_pid=

# shellcheck disable=SC2317  # only reached through the EXIT trap
cleanup() {
    if [ -n "$cmd_pid" ] && kill -0 "$cmd_pid" 2>/dev/null; then
        kill -TERM "$cmd_pid" 2>/dev/null
        wait "$cmd_pid" 2>/dev/null
    fi
    for pid in $kwin_pid $bus_pid; do
        kill -TERM "$pid" 2>/dev/null
        for _ in $(seq 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    rm -rf "$workdir"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

mkdir -m 700 "$workdir/kwin-runtime" "$workdir/home" "$workdir/runtime" || exit 1
mkdir -p "$workdir/data/applications"
index=0
for binary in "${grants[@]}"; do
    index=$((index + 1))
    printf '[Desktop Entry]\nType=Application\nName=%s\nExec=%s\nX-KDE-Wayland-Interfaces=%s\n' \
        "$(basename "$binary")" "$binary" org_kde_kwin_fake_input,org_kde_plasma_window_management \
        >"$workdir/data/applications/granted-$index.desktop"
done

launcher=()
if setpriv --help 2>/dev/null | grep -q -- --pdeathsig; then
    # If this script is SIGKILLed (e.g. by a test timeout), the kernel still stops KWin and the bus.
    launcher=(setpriv --pdeathsig TERM --)
fi

# The installed binary carries file capabilities, which a container cannot exec.
cp "$(command -v kwin_wayland)" "$workdir/kwin_wayland" || exit 1

"${launcher[@]}" dbus-daemon --session --nofork --print-address=3 3>"$workdir/bus-address" \
    >/dev/null 2>&1 &
bus_pid=$!
for _ in $(seq 50); do
    [ -s "$workdir/bus-address" ] && break
    sleep 0.1
done
address=$(head -n 1 "$workdir/bus-address")
if [ -z "$address" ]; then
    echo "$0: SKIP: no session bus" >&2
    exit "$skip"
fi

"${launcher[@]}" env -i PATH="${PATH:-/usr/bin:/bin}" HOME="$workdir/home" LANG=C.UTF-8 \
    XDG_RUNTIME_DIR="$workdir/kwin-runtime" XDG_CONFIG_HOME="$workdir/home/.config" \
    XDG_DATA_DIRS="$workdir/data:/usr/local/share:/usr/share" DBUS_SESSION_BUS_ADDRESS="$address" \
    "$workdir/kwin_wayland" --virtual --socket kwin --no-lockscreen --width 1280 --height 800 \
    </dev/null >"$workdir/kwin.log" 2>&1 &
kwin_pid=$!

socket="$workdir/kwin-runtime/kwin"
for _ in $(seq 300); do
    kill -0 "$kwin_pid" 2>/dev/null || break
    [ -S "$socket" ] && break
    sleep 0.1
done
if [ ! -S "$socket" ]; then
    echo "$0: SKIP: KWin did not start:" >&2
    tail -n 5 "$workdir/kwin.log" >&2
    exit "$skip"
fi

export WAYLAND_DISPLAY="$socket" DBUS_SESSION_BUS_ADDRESS="$address" XDG_RUNTIME_DIR="$workdir/runtime"
export XDG_CURRENT_DESKTOP=KDE
unset DISPLAY SWAYSOCK

"$@" <&0 &
cmd_pid=$!
wait "$cmd_pid"
status=$?
cmd_pid=
exit "$status"
