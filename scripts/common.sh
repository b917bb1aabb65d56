# Shared by scripts/run and scripts/test.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Installs the packages of scripts/debian-packages.txt that are missing.
ensure_packages() {
    local wanted missing
    mapfile -t wanted < <(grep -v '^[[:space:]]*#' "$ROOT/scripts/debian-packages.txt" | awk 'NF { print $1 }')
    mapfile -t missing < <(
        dpkg-query -W -f='${Package} ${Status}\n' "${wanted[@]}" 2>/dev/null | awk '$4 == "installed" { print $1 }' |
            sort -u | comm -13 - <(printf '%s\n' "${wanted[@]}" | sort -u))
    [ "${#missing[@]}" -eq 0 ] && return 0

    echo "Installing missing packages: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null; then
            echo "Installing packages needs root, and sudo is not available." >&2
            exit 1
        fi
        sudo=(sudo)
    fi
    "${sudo[@]}" apt-get update -qq
    local lean package plain=() bare=()
    mapfile -t lean < <(awk '!/^[[:space:]]*#/ && $2 == "no-recommends" { print $1 }' "$ROOT/scripts/debian-packages.txt")
    for package in "${missing[@]}"; do
        if printf '%s\n' "${lean[@]}" | grep -qxF "$package"; then bare+=("$package"); else plain+=("$package"); fi
    done
    [ "${#plain[@]}" -eq 0 ] ||
        DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${plain[@]}" >/dev/null
    [ "${#bare[@]}" -eq 0 ] ||
        DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${bare[@]}" >/dev/null
}

# Starts a private Xvfb on a free display; sets DISPLAY and XVFB_PID.
# Extra arguments go to Xvfb (for example -extension XTEST, to leave it out).
start_private_xvfb() {
    local fifo
    fifo="$(mktemp -u)"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x800x24 "$@" 3>"$fifo" >/dev/null 2>&1 &
    XVFB_PID=$!
    local display
    read -r -t 15 display <"$fifo" || { echo "Xvfb did not start." >&2; rm -f "$fifo"; exit 1; }
    rm -f "$fifo"
    export DISPLAY=":$display"
    unset WAYLAND_DISPLAY
    if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
        XDG_RUNTIME_DIR="$(mktemp -d)"
        chmod 700 "$XDG_RUNTIME_DIR"
        export XDG_RUNTIME_DIR
    fi
}
