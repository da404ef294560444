#!/bin/sh
# Runs a manual page linter and fails unless it exits 0 and says nothing at all.
out=$("$@" 2>&1)
status=$?
[ -n "$out" ] && printf '%s\n' "$out"
[ "$status" -eq 0 ] && [ -z "$out" ] || { echo "FAIL: $* (status $status)"; exit 1; }
echo "ok: $*"
