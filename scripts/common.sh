# Shared helpers of the scripts in this directory; sourced, never run on its own.

DRAVIX_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
DRAVIX_JOBS="${DRAVIX_JOBS:-$(nproc 2>/dev/null || echo 2)}"

# Runs a command as root: directly when we are root, through sudo otherwise.
as_root() {
    if [[ "$(id -u)" -eq 0 ]]; then
        "$@"
    else
        sudo "$@"
    fi
}

say() {
    printf '==> %s\n' "$*" >&2
}

# configure_tree DIR [cmake options...]: configures a Ninja tree; an existing tree keeps its
# generator and only gets the options updated.
configure_tree() {
    local dir="$1"
    shift
    local generator=()
    if [[ ! -f "$dir/CMakeCache.txt" ]]; then
        generator=(-G Ninja)
    fi
    cmake -S "$DRAVIX_ROOT" -B "$dir" "${generator[@]}" "$@"
}
