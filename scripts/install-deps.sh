#!/usr/bin/env bash
# Installs what building and testing pibgen needs on Debian 12. Safe to run again.
set -euo pipefail
packages=(cmake make g++ libxml2-dev zlib1g-dev libgtest-dev python3
  nlohmann-json3-dev  # JSON strings (header-only)
  dpkg-dev groff-base mandoc  # packaging and manual page checks
  time clang libclang-rt-14-dev  # hostile-case measurements and fuzzing
  strace)  # the test that no path outside the description is looked up
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
