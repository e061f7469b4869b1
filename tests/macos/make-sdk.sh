#!/usr/bin/env bash
# Lays out the part of Apple's macOS 12.0 SDK that the cross build
# (cmake/toolchains/macos-cross.cmake, the test macos_cross_build) needs: the
# SDK settings, the C and C++ headers, libSystem's and libc++'s .tbd stubs,
# and the frameworks the programs and their system headers use. It is taken
# from a git directory of the public repository
# https://github.com/hexops-graveyard/sdk-macos-12.0, a copy of the SDK under
# root/:
#
#   git clone --bare https://github.com/hexops-graveyard/sdk-macos-12.0 /tmp/sdk-macos-12.0.git
#   tests/macos/make-sdk.sh /tmp/sdk-macos-12.0.git
#
# usage: make-sdk.sh GIT_DIR [OUT]
# GIT_DIR: a bare clone, or a clone's .git folder. OUT: the SDK folder to
# make, /tmp/macsdk/MacOSX12.0.sdk by default; an SDK laid out there before
# is replaced, any other folder there is left alone and the script stops.
#
# The SDK is Apple's, under Apple's licence: never commit it, or any file of
# it, to this repository. Keep it outside the source tree.
set -euo pipefail

fail() {
  echo "make-sdk: $*" >&2
  exit 1
}

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 GIT_DIR [OUT]" >&2
  exit 2
fi
git_dir=$1
out=${2:-/tmp/macsdk/MacOSX12.0.sdk}

command -v git >/dev/null || fail "git not found"
command -v tar >/dev/null || fail "tar not found"
git() { command git --git-dir "$git_dir" "$@"; }
git rev-parse --verify --quiet 'HEAD^{commit}' >/dev/null 2>&1 ||
  fail "$git_dir is not a git directory with a commit at HEAD (a bare clone, or a clone's .git)"

frameworks=(ApplicationServices CFNetwork ColorSync CoreAudio CoreAudioTypes CoreFoundation
  CoreGraphics CoreMedia CoreMediaIO CoreServices CoreText CoreVideo DiskArbitration IOKit
  IOSurface ImageIO OpenGL Security)

paths=(root/SDKSettings.json root/SDKSettings.plist root/usr/include root/usr/lib/system)
# libSystem's and libc++'s stubs, each name and version of them.
while IFS= read -r path; do
  paths+=("$path")
done < <(git ls-tree --name-only HEAD root/usr/lib/ | grep -E '/lib(System|c\+\+)')
for framework in "${frameworks[@]}"; do
  paths+=("root/System/Library/Frameworks/$framework.framework")
done

# Every path must be there: a repository of another layout or version would
# give an SDK the build fails on in ways far from here.
for path in "${paths[@]}"; do
  [ -n "$(git ls-tree --name-only HEAD "$path")" ] ||
    fail "$git_dir has no $path at HEAD: not the repository of Apple's macOS 12.0 SDK?"
done
case " ${paths[*]} " in
  *" root/usr/lib/libSystem.tbd "*) ;;
  *) fail "$git_dir has no root/usr/lib/libSystem.tbd at HEAD" ;;
esac

# Laid out beside OUT first, so that a failure leaves no half SDK in OUT.
parent=$(dirname "$out")
mkdir -p "$parent"
if [ -e "$out" ] && [ ! -f "$out/SDKSettings.json" ] && [ -n "$(ls -A "$out" 2>/dev/null)" ]; then
  fail "$out is there and is not an SDK laid out before: name another OUT, or remove it"
fi
scratch=$(mktemp -d "$parent/.make-sdk.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
git archive --format=tar HEAD -- "${paths[@]}" | tar -x --strip-components=1 -C "$scratch" ||
  fail "git archive of $git_dir into $scratch failed"
if [ ! -f "$scratch/SDKSettings.json" ] || [ ! -d "$scratch/System/Library/Frameworks/CoreMediaIO.framework" ]; then
  fail "the archive of $git_dir holds no SDKSettings.json or CoreMediaIO.framework"
fi
rm -rf "$out"
mv "$scratch" "$out"
trap - EXIT

files=$(find "$out" -type f | wc -l)
size=$(du -sh "$out" | cut -f1)
echo "Laid out $files files ($size) of Apple's macOS 12.0 SDK in $out; it is Apple's: never commit it."
