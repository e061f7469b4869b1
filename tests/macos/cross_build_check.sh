#!/usr/bin/env bash
# Cross-builds every program the project builds by default for macOS, arm64
# and x86_64, with cmake/toolchains/macos-cross.cmake against the SDK folder
# that CAMKNOB_MACOS_SDK names, and checks the binaries: each is a Mach-O of
# its build's architecture for macOS 12.0, loads only libraries the SDK has,
# and camknob loads CoreMediaIO and CoreFoundation. It lists the programs
# each build made. camknobd and camknobd-sim are among them exactly when
# upstream's httplib.h is in CAMKNOB_MACOS_EXTRA_INCLUDE (or the SDK): the
# host's cpp-httplib is never to be taken, and the check says when they were
# left out.
#
# usage: cross_build_check.sh WORK_DIR [CMAKE]
# WORK_DIR receives one scratch build folder per architecture, made anew on
# every run. The source tree is the one this script is in; nothing is written
# there. CAMKNOB_MACOS_EXTRA_INCLUDE, when set, is passed to the toolchain.
# Exit status: 0 passed, 1 failed, 77 skipped (CAMKNOB_MACOS_SDK unset).
set -euo pipefail

skipped=77
fail() {
  echo "macOS cross-build check failed: $*" >&2
  exit 1
}

if [ -z "${CAMKNOB_MACOS_SDK:-}" ]; then
  echo "skipped: CAMKNOB_MACOS_SDK does not name a macOS SDK folder (see README, macOS)"
  exit "$skipped"
fi

if [ $# -lt 1 ] || [ $# -gt 2 ]; then fail "usage: $0 WORK_DIR [CMAKE]"; fi
work=$1
cmake=${2:-cmake}
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd -P)
toolchain=$source_dir/cmake/toolchains/macos-cross.cmake

sdk=$(cd "$CAMKNOB_MACOS_SDK" 2>/dev/null && pwd -P) ||
  fail "CAMKNOB_MACOS_SDK=$CAMKNOB_MACOS_SDK is not a folder"
if [ ! -f "$sdk/SDKSettings.json" ] || [ ! -d "$sdk/System/Library/Frameworks/CoreMediaIO.framework" ]; then
  fail "$sdk is not a macOS SDK with CoreMediaIO (no SDKSettings.json or CoreMediaIO.framework)"
fi

# An LLVM 19 tool as the toolchain finds it: NAME-19 on PATH, else LLVM 19's
# own folder.
llvm19_tool() {
  command -v "$1-19" || { [ -x "/usr/lib/llvm-19/bin/$1" ] && echo "/usr/lib/llvm-19/bin/$1"; }
}
missing=()
for tool in clang++ ld64.lld; do
  llvm19_tool "$tool" >/dev/null || missing+=("$tool-19")
done
[ ${#missing[@]} -eq 0 ] ||
  fail "${missing[*]} not found, needed to build for macOS (Debian: apt-get install clang-19 lld-19 llvm-19)"
objdump=$(llvm19_tool llvm-objdump || command -v llvm-objdump) ||
  fail "llvm-objdump-19 (or llvm-objdump) not found, needed to read the Mach-O binaries (Debian: apt-get install llvm-19)"
nm=$(llvm19_tool llvm-nm || command -v llvm-nm) ||
  fail "llvm-nm-19 (or llvm-nm) not found, needed to read the Mach-O binaries (Debian: apt-get install llvm-19)"
command -v "$cmake" >/dev/null || fail "$cmake not found"

# The host's compiler settings are for Linux binaries: none of them reaches
# the cross build.
unset CC CXX CFLAGS CXXFLAGS CPPFLAGS LDFLAGS CPATH C_INCLUDE_PATH CPLUS_INCLUDE_PATH \
  LIBRARY_PATH CMAKE_TOOLCHAIN_FILE CMAKE_GENERATOR

generator=("Unix Makefiles")
if command -v ninja >/dev/null; then generator=(Ninja); fi
jobs=${CMAKE_BUILD_PARALLEL_LEVEL:-$(getconf _NPROCESSORS_ONLN 2>/dev/null || echo 2)}
toolchain_options=()
extra=${CAMKNOB_MACOS_EXTRA_INCLUDE:-}
if [ -n "$extra" ]; then
  [ -d "$extra" ] || fail "CAMKNOB_MACOS_EXTRA_INCLUDE=$extra is not a folder"
  toolchain_options+=("-DCAMKNOB_MACOS_EXTRA_INCLUDE=$extra")
fi
# Whether camknobd is to be built: cpp-httplib's header is in a folder the
# cross build may search. Otherwise it is left out, and a camknobd built
# anyway took a header from elsewhere (the host's).
daemon_left_out=
if [ -n "$extra" ] && [ -f "$extra/httplib.h" ]; then
  :
elif [ -f "$sdk/usr/include/httplib.h" ]; then
  :
elif [ -n "$extra" ]; then
  daemon_left_out="no httplib.h in CAMKNOB_MACOS_EXTRA_INCLUDE ($extra)"
else
  daemon_left_out="no httplib.h in CAMKNOB_MACOS_EXTRA_INCLUDE (unset)"
fi
if [ -n "$daemon_left_out" ]; then
  echo "camknobd and camknobd-sim are left out: $daemon_left_out;" \
    "set it to a folder holding upstream's httplib.h to build them (README, macOS)"
fi

# Mach-O header rows of FILE: "CPUTYPE FILETYPE", one per architecture slice;
# nothing when FILE is not Mach-O.
macho_headers() {
  "$objdump" --macho --private-header "$1" | awk '$1 ~ /^MH_(MAGIC|CIGAM)/ {print $2, $5}'
}

# The checks of one binary (FILE: a program, or a library should the project
# build one) of the ARCH build, where CPU is the cputype objdump names for ARCH.
check_binary() {
  local file=$1 arch=$2 cpu=$3 headers load_commands libraries library stub
  headers=$(macho_headers "$file")
  case $headers in
    "$cpu EXECUTE" | "$cpu DYLIB" | "$cpu BUNDLE") ;;
    *) fail "$file: expected $cpu alone for $arch, the Mach-O header says: $headers" ;;
  esac
  load_commands=$("$objdump" --macho --private-headers "$file")
  if ! grep -Eq '^ *platform (macos|1)$' <<<"$load_commands" ||
    ! grep -Eq '^ *minos 12\.0$' <<<"$load_commands"; then
    fail "$file: not built for macOS 12.0 (LC_BUILD_VERSION platform macos, minos 12.0)"
  fi
  libraries=$("$objdump" --macho --dylibs-used "$file" | awk 'NR > 1 {print $1}')
  echo "  $(basename "$file"): $cpu, macOS 12.0, loads $(tr '\n' ' ' <<<"$libraries")"
  # A library the Mac does not have would stop the program at launch: the SDK
  # has a .tbd stub for every one the system provides.
  while IFS= read -r library; do
    stub=$sdk${library%.dylib}.tbd
    [ -f "$stub" ] || fail "$file loads $library, which the SDK does not provide (no $stub)"
  done <<<"$libraries"
}

started=$(date +%s)
for arch in arm64 x86_64; do
  case $arch in
    arm64) cpu=ARM64 ;;
    x86_64) cpu=X86_64 ;;
  esac
  build=$work/$arch
  echo "== $arch: configuring $source_dir in $build"
  rm -rf "$build"
  mkdir -p "$build"
  # Warnings are errors, as where the team builds: a warning that only the
  # Mac code or libc++ shows fails here too.
  "$cmake" -S "$source_dir" -B "$build" -G "${generator[@]}" \
    "-DCMAKE_TOOLCHAIN_FILE=$toolchain" "-DCAMKNOB_MACOS_SDK=$sdk" "-DCAMKNOB_MACOS_ARCH=$arch" \
    -DCAMKNOB_TESTS=OFF -DCAMKNOB_WERROR=ON "${toolchain_options[@]}" ||
    fail "configuring for $arch"
  arch_started=$(date +%s)
  "$cmake" --build "$build" --parallel "$jobs" || fail "building for $arch"
  echo "== $arch: built in $(($(date +%s) - arch_started)) s"

  # Every binary the build made, wherever the project puts it: the Mach-O
  # files among its executable files (CMake's own probes, in CMakeFiles/,
  # left out).
  binaries=()
  while IFS= read -r -d '' file; do
    if [ -n "$(macho_headers "$file")" ]; then binaries+=("$file"); fi
  done < <(find "$build" -name CMakeFiles -prune -o -type f -perm -u+x -print0 | sort -z)
  [ ${#binaries[@]} -gt 0 ] || fail "the $arch build made no Mach-O binary"

  camknob=()
  programs=()
  for file in "${binaries[@]}"; do
    check_binary "$file" "$arch" "$cpu"
    programs+=("$(basename "$file")")
    if [ "$(basename "$file")" = camknob ]; then camknob+=("$file"); fi
  done
  echo "== $arch: programs built: ${programs[*]}"
  for daemon in camknobd camknobd-sim; do
    built=no
    for program in "${programs[@]}"; do
      if [ "$program" = "$daemon" ]; then built=yes; fi
    done
    if [ -n "$daemon_left_out" ] && [ $built = yes ]; then
      fail "the $arch build made $daemon though $daemon_left_out: it took a cpp-httplib from outside the SDK and CAMKNOB_MACOS_EXTRA_INCLUDE (the host's?)"
    elif [ -z "$daemon_left_out" ] && [ $built = no ]; then
      fail "the $arch build made no $daemon though httplib.h is there for it"
    fi
  done
  if [ -n "$daemon_left_out" ]; then
    echo "== $arch: camknobd and camknobd-sim left out: $daemon_left_out"
  else
    # camknobd learns of cameras started by other apps through CoreMediaIO's
    # property listeners: the calls must be bound to the framework.
    imports=$("$nm" -m -u "$build/camknobd")
    for call in CMIOObjectAddPropertyListener CMIOObjectRemovePropertyListener; do
      grep -Eq "external _$call \(from CoreMediaIO\)" <<<"$imports" ||
        fail "the $arch camknobd does not take $call from CoreMediaIO"
    done
    echo "== $arch: camknobd takes the property listener calls from CoreMediaIO"
  fi
  [ ${#camknob[@]} -eq 1 ] || fail "the $arch build made ${#camknob[@]} programs named camknob, not one"
  used=$("$objdump" --macho --dylibs-used "${camknob[0]}" | awk 'NR > 1 {print $1}')
  for framework in CoreMediaIO CoreFoundation; do
    grep -Fq "/System/Library/Frameworks/$framework.framework/" <<<"$used" ||
      fail "${camknob[0]} ($arch) does not load $framework; it loads $(tr '\n' ' ' <<<"$used")"
  done
  echo "== $arch: ${#binaries[@]} binaries checked; camknob loads CoreMediaIO and CoreFoundation"
done
echo "macOS cross-build check passed in $(($(date +%s) - started)) s"
