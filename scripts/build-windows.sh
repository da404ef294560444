#!/usr/bin/env bash
# Cross-builds pibgen and its tests for 64-bit Windows on Debian 12, into build-windows/:
# installs what is missing (MinGW-w64, Wine, ...), builds libxml2 2.15.3 and GoogleTest as
# static MinGW libraries under build-windows/ (once; kept for later runs), then pibgen with
# warnings as errors, and checks that build-windows/pibgen.exe is hardened and needs no DLL
# beyond Windows' own. scripts/test-windows.sh then runs the tests under Wine.
# LIBXML2_TARBALL names libxml2's release tarball (default
# ../shared/third_party/libxml2-2.15.3.tar.xz, beside the project).
set -euo pipefail
cd "$(dirname "$0")/.."
build="build-windows"
jobs=$(nproc)
toolchain=$PWD/cmake/mingw-w64-x86_64.cmake
tarball=${LIBXML2_TARBALL:-../shared/third_party/libxml2-2.15.3.tar.xz}
objdump=x86_64-w64-mingw32-objdump

packages=(cmake make python3 xz-utils groff-base
  nlohmann-json3-dev  # header-only: its headers are copied into the build
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev  # the POSIX thread model has std::thread
  libgtest-dev  # GoogleTest's sources, in /usr/src/googletest
  wine wine64)  # CTest runs the programs under Wine
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update
  $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

# Builds a CMake project for Windows, Release, into the prefix $2 (the project in $1, further
# arguments are its options).
build_library() {
  local source=$1 prefix=$2
  shift 2
  rm -rf "$prefix.build"
  cmake -S "$source" -B "$prefix.build" --toolchain "$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >/dev/null
  cmake --build "$prefix.build" -j"$jobs" >/dev/null
  cmake --install "$prefix.build" >/dev/null
  rm -rf "$prefix.build"
}

mkdir -p "$build"
libxml2=$PWD/$build/libxml2
if ! grep -qs '"2\.15\.3"' "$libxml2/lib/cmake/libxml2/libxml2-config-version.cmake"; then
  [ -f "$tarball" ] || { echo "no libxml2 release tarball at $tarball: set LIBXML2_TARBALL"; exit 1; }
  echo "building libxml2 2.15.3 for Windows from $tarball into $libxml2"
  rm -rf "$libxml2" "$libxml2.source"
  mkdir -p "$libxml2.source"
  tar -xf "$tarball" -C "$libxml2.source" --strip-components=1
  build_library "$libxml2.source" "$libxml2" -DBUILD_SHARED_LIBS=OFF -DLIBXML2_WITH_ICONV=OFF \
    -DLIBXML2_WITH_HTTP=OFF -DLIBXML2_WITH_PYTHON=OFF -DLIBXML2_WITH_ICU=OFF \
    -DLIBXML2_WITH_ZLIB=OFF -DLIBXML2_WITH_TESTS=OFF -DLIBXML2_WITH_PROGRAMS=OFF
  rm -rf "$libxml2.source"
fi
googletest=$PWD/$build/googletest
if [ ! -f "$googletest/lib/cmake/GTest/GTestConfig.cmake" ]; then
  echo "building GoogleTest for Windows from /usr/src/googletest into $googletest"
  build_library /usr/src/googletest "$googletest" -DBUILD_GMOCK=OFF
fi

cmake -S . -B "$build" --toolchain "$toolchain" -DCMAKE_BUILD_TYPE=Release -DPIBGEN_WERROR=ON \
  -DCMAKE_PREFIX_PATH="$libxml2;$googletest"
cmake --build "$build" -j"$jobs"

# One program to copy anywhere: every DLL it imports must be one of Windows' own.
imports=$($objdump -p "$build/pibgen.exe" | sed -n 's/^\s*DLL Name: //p')
echo "pibgen.exe imports: $(echo "$imports" | tr '\n' ' ')"
foreign=$(echo "$imports" |
  grep -Eiv '^(kernel32|advapi32|bcrypt|msvcrt|ucrtbase|user32|ws2_32|shell32|ntdll|api-ms-win-.*)\.dll$' ||
  true)
[ -z "$foreign" ] || { echo "pibgen.exe needs DLLs Windows does not have: $foreign"; exit 1; }
# Hardened (cmake/hardening.cmake): ASLR, also above 4 GB, DEP and the stack protector.
header=$($objdump -p "$build/pibgen.exe")
for flag in DYNAMIC_BASE HIGH_ENTROPY_VA NX_COMPAT; do
  grep -qw "$flag" <<<"$header" || { echo "pibgen.exe lacks $flag"; exit 1; }
done
x86_64-w64-mingw32-nm "$build/pibgen.exe" | grep -w __stack_chk_fail >/dev/null ||
  { echo "pibgen.exe has no stack protector"; exit 1; }
echo "built $build/pibgen.exe"
