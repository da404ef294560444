#!/usr/bin/env bash
# Installs what building pibgen needs on Debian 12; with --tests, also what its tests, fuzz
# targets, benchmarks and packaging checks need. Safe to run again.
set -euo pipefail
packages=(cmake make g++ libxml2-dev libattr1-dev nettle-dev nlohmann-json3-dev)
case "${1:-}" in
  "") ;;
  --tests)
    packages+=(zlib1g-dev libgtest-dev python3
      acl  # setfacl, for the test that a replaced file keeps its ACL
      dpkg-dev groff-base mandoc  # packaging and manual page checks
      time clang libclang-rt-14-dev  # hostile-case measurements and fuzzing
      strace  # the test that no path outside the description is looked up
      pkg-config)  # building the library example as another program would
    ;;
  *)
    echo "usage: $0 [--tests]" >&2
    exit 2
    ;;
esac
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
