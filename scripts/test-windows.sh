#!/usr/bin/env bash
# Runs every test of build-windows/ (made by scripts/build-windows.sh) under Wine, in a fresh
# Wine prefix inside that folder. Wine's server and its own services are started, and kept, before
# the first test: a service that a test's program started would hold on to that test's pipes, and
# the test would wait for their end forever. Any failing test fails the run.
# Usage: scripts/test-windows.sh [BUILD_DIR, default build-windows]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build-windows}")
jobs=$(nproc)

[ -f "$build/CMakeCache.txt" ] || { echo "no $build: run scripts/build-windows.sh first"; exit 1; }
# The Wine that CTest runs the programs under (cmake/mingw-w64-x86_64.cmake found it).
wine=$(sed -n 's/^PIBGEN_WINE:FILEPATH=//p' "$build/CMakeCache.txt")
[ -x "$wine" ] || { echo "$build was not configured with Wine as its emulator"; exit 1; }

export WINEPREFIX=$build/wineprefix WINEDEBUG=-all
# A server left from an earlier run of this prefix goes first, then the prefix itself.
[ -d "$WINEPREFIX" ] && { wineserver -k 2>/dev/null || true; }
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"  # the server starts in it
started=$SECONDS
# Persistent: without a program of its own running, the server would stop the services a
# second after each test and the next test would start them again. Wine's processes get no
# descriptor of this script's, so nothing reading its output waits for them.
wineserver -p </dev/null >/dev/null 2>&1
trap 'wineserver -k 2>/dev/null || true' EXIT
# Without Mono and Gecko, which console programs do not need and which are not installed.
WINEDLLOVERRIDES="mscoree,mshtml=" "$wine" wineboot --init </dev/null >"$build/wineboot.log" 2>&1
echo "Wine prefix $WINEPREFIX ready in $((SECONDS - started)) s"

# Now and then a Wine program fails to start ("wine client error: ... sendmsg: Socket operation
# on non-socket") and says nothing more: about one start in a few hundred here. A test that
# failed is run again at once, up to twice, and if it still fails, alone a few seconds later
# (the failures come in bursts); a fault of pibgen's fails every time.
ctest --test-dir "$build" --output-on-failure -j"$jobs" --repeat until-pass:3 || {
  sleep 5
  echo "running the failed tests again, one at a time"
  ctest --test-dir "$build" --output-on-failure --rerun-failed --repeat until-pass:3
}
