#!/bin/sh
# validate.sh [--quiet] TOOL ARGS...: runs a desktop validator on the files as built. Skips (77) when
# the tool is missing; with --quiet, any output (a warning the tool does not count as a failure) fails.
quiet=
[ "$1" = --quiet ] && { quiet=1; shift; }
command -v "$1" >/dev/null || { echo "SKIP: $1 is not installed"; exit 77; }
out=$("$@" 2>&1)
status=$?
[ -n "$out" ] && printf '%s\n' "$out"
[ "$status" -eq 0 ] || exit "$status"
[ -z "$quiet" ] || [ -z "$out" ]
