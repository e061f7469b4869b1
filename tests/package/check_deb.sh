#!/usr/bin/env bash
# Builds camknob's Debian package and checks it the way a user meets it: on a
# clean Debian 12 (a minimal debootstrap, so that a dependency the package
# fails to declare is missing there), `apt-get install ./camknob_*.deb`, then
# the installed camknob list, man pages, bash and zsh completion,
# camknob-profile, and camknobd with its user service where the build has it,
# then `apt-get remove`. Needs root, apt and the network.
# Usage: tests/package/check_deb.sh [BUILD_DIR]
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$source_dir/build-package}
export DEBIAN_FRONTEND=noninteractive

echo "+ package build"
cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCAMKNOB_TESTS=OFF
cmake --build "$build"
rm -f "$build"/camknob_*.deb
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/camknob_*.deb)
dpkg-deb --info "$deb"
dpkg-deb --contents "$deb"
depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
# camknob-sim links the shared C++ runtime; camknob and camknob-profile only libc.
for library in libc6 libstdc++6; do
  grep -q "$library" <<<"$depends" || { echo "the package does not depend on $library" >&2; exit 1; }
done
# camknobd is built where cpp-httplib is found; what the build has, the
# package must carry.
daemon=
if [ -x "$build/camknobd" ]; then
  daemon=1
  contents=$(dpkg-deb --contents "$deb")
  for file in ./usr/bin/camknobd ./usr/bin/camknobd-sim ./usr/lib/systemd/user/camknobd.service \
    ./usr/share/man/man1/camknobd.1.gz ./usr/share/man/man1/camknobd-sim.1.gz \
    ./usr/share/bash-completion/completions/camknobd; do
    grep -q " $file\( -> .*\)\?$" <<<"$contents" ||
      { echo "the package lacks $file" >&2; exit 1; }
  done
else
  echo "camknobd was not built (no cpp-httplib): its checks are skipped"
fi

echo "+ a clean Debian 12"
root="$build/clean-debian"
cleanup() {
  for mount in proc dev; do
    if mountpoint -q "$root/$mount"; then umount -l "$root/$mount"; fi
  done
}
trap cleanup EXIT
if [ ! -x "$root/usr/bin/apt-get" ]; then
  command -v debootstrap >/dev/null || apt-get install -y debootstrap
  rm -rf "$root"
  debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian
fi
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/tmp/"
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }

in_root apt-get update
# The package as a user installs it, with what man and the completions need.
in_root apt-get install -y "/tmp/$(basename "$deb")" man-db bash-completion zsh jq

check() {  # check DESCRIPTION EXPECTED-PATTERN COMMAND...
  local what=$1 pattern=$2
  shift 2
  local out
  out=$(in_root "$@" 2>&1) || { echo "FAILED: $what: exit status $?: $out" >&2; exit 1; }
  if ! grep -Eq -- "$pattern" <<<"$out"; then
    echo "FAILED: $what: expected /$pattern/ in: $out" >&2
    exit 1
  fi
  echo "ok: $what"
}
check "installed camknob list" '^\{"devices":\[.*\],"ok":true\}$' camknob list
check "camknob-sim's demo" '"name":"PTZ Pro USB Camera"' camknob-sim list
check "camknob-profile --help" "^Usage: camknob-profile save" camknob-profile --help
check "camknob-profile-sim saves the demo camera" '"uid": "SIM-PTZ-0001"' \
  camknob-profile-sim save
check "man -w camknob" '^/usr/share/man/man1/camknob\.1\.gz$' man -w camknob
check "man camknob-profile" 'camknob-profile save' sh -c 'MANWIDTH=80 man camknob-profile | cat'
check "man camknob-sim" 'CAMKNOB_SIM_FIXTURE' sh -c 'MANWIDTH=80 man camknob-sim | cat'
check "man camknob-profile-sim" 'camknob-profile-sim' sh -c 'MANWIDTH=80 man camknob-profile-sim | cat'
check "bash completion of camknob" '(^| )set( |$)' bash -c '
  source /usr/share/bash-completion/bash_completion
  __load_completion camknob || exit 1
  function=$(complete -p camknob | sed -E "s/.* -F ([^ ]+) .*/\1/")
  COMP_WORDS=(camknob se); COMP_CWORD=1; COMP_LINE="camknob se"; COMP_POINT=${#COMP_LINE}
  "$function" camknob se camknob
  echo "${COMPREPLY[*]}"'
check "bash completion of camknob-profile" 'apply' bash -c '
  source /usr/share/bash-completion/bash_completion
  __load_completion camknob-profile || exit 1
  function=$(complete -p camknob-profile | sed -E "s/.* -F ([^ ]+) .*/\1/")
  COMP_WORDS=(camknob-profile a); COMP_CWORD=1; COMP_LINE="camknob-profile a"
  COMP_POINT=${#COMP_LINE}
  "$function" camknob-profile a camknob-profile
  echo "${COMPREPLY[*]}"'
check "zsh completion" '^_camknob _camknob _camknob _camknob$' zsh -c '
  autoload -Uz compinit && compinit -u -d /tmp/zcompdump
  print -r -- $_comps[camknob] $_comps[camknob-profile] $_comps[camknob-sim] \
    $_comps[camknob-profile-sim]'
check "the user service is installed" 'ExecStart=camknob-profile apply' \
  cat /usr/lib/systemd/user/camknob-profile@.service
check "the schemas are installed" 'camknob-response.schema.json' ls /usr/share/camknob

if [ -n "$daemon" ]; then
  check "camknobd --help" \
    '^Usage: camknobd \[--listen ADDRESS:PORT\] \[--token-file PATH\] \[--allow-host NAME \.\.\.\] \[--show-key \| --new-key\]$' \
    camknobd --help
  # Over the demo system, until a SIGTERM ends it with status 0.
  check "camknobd-sim starts and stops" '^\{"page":"http:.*"tokenFile":"\\/tmp\\/camknobd\.token"' \
    timeout --preserve-status -s TERM 2 camknobd-sim --listen 127.0.0.1:0 \
    --token-file /tmp/camknobd.token
  check "man camknobd" 'POST /api/v1/commands' sh -c 'MANWIDTH=80 man camknobd | cat'
  check "man camknobd-sim" 'CAMKNOB_SIM_FIXTURE' sh -c 'MANWIDTH=80 man camknobd-sim | cat'
  check "bash completion of camknobd" '^--listen --token-file --allow-host --show-key --new-key --help$' bash -c '
    source /usr/share/bash-completion/bash_completion
    __load_completion camknobd || exit 1
    function=$(complete -p camknobd | sed -E "s/.* -F ([^ ]+) .*/\1/")
    COMP_WORDS=(camknobd ""); COMP_CWORD=1; COMP_LINE="camknobd "; COMP_POINT=${#COMP_LINE}
    "$function" camknobd "" camknobd
    echo "${COMPREPLY[*]}"'
  check "zsh completion of camknobd" '^_camknob _camknob$' zsh -c '
    autoload -Uz compinit && compinit -u -d /tmp/zcompdump
    print -r -- $_comps[camknobd] $_comps[camknobd-sim]'
  unit=/usr/lib/systemd/user/camknobd.service
  check "the camknobd service starts the installed camknobd" '^ExecStart=/usr/bin/camknobd$' \
    cat "$unit"
  # The unit as systemd reads it (the clean system has no systemd): here, with
  # ExecStart pointed into the clean system; a warning fails it too.
  if command -v systemd-analyze >/dev/null; then
    verify=$(mktemp -d)
    # systemd takes only an absolute path, and the clean system's may be relative.
    sed "s|^ExecStart=/usr/bin/camknobd$|ExecStart=$(realpath "$root")/usr/bin/camknobd|" "$root$unit" \
      >"$verify/camknobd.service"
    if ! said=$(systemd-analyze verify --man=no "$verify/camknobd.service" 2>&1) || [ -n "$said" ]; then
      echo "FAILED: systemd-analyze verify camknobd.service: $said" >&2
      exit 1
    fi
    rm -rf "$verify"
    echo "ok: systemd-analyze verify camknobd.service"
  else
    echo "systemd-analyze not found: the unit's verification is skipped"
  fi
fi

echo "+ remove"
in_root apt-get remove -y camknob
for gone in /usr/bin/camknob /usr/bin/camknob-profile /usr/bin/camknob-sim \
  /usr/bin/camknob-profile-sim /usr/share/man/man1/camknob-profile-sim.1.gz \
  /usr/share/man/man1/camknob.1.gz /usr/share/bash-completion/completions/camknob \
  /usr/bin/camknobd /usr/lib/systemd/user/camknobd.service \
  /usr/share/man/man1/camknobd-sim.1.gz; do
  if [ -e "$root$gone" ]; then echo "FAILED: $gone is left after removing the package" >&2; exit 1; fi
done
echo "package: installed, checked and removed on a clean Debian 12"
