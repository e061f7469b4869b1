#!/usr/bin/env sh
# Runs every camknob command against a copy of the demo system, so that each
# change is kept for the next command. Run from the repository after building:
#   sh examples/try-every-command.sh [path/to/camknob-sim]
set -u
sim=${1:-./build/camknob-sim}
fixture=$(mktemp "${TMPDIR:-/tmp}/camknob-demo.XXXXXX")
trap 'rm -f "$fixture"' EXIT
cp "$(dirname "$0")/demo-system.json" "$fixture"
export CAMKNOB_SIM_FIXTURE="$fixture"

run() {
  printf '\n$ camknob-sim %s\n' "$*"
  "$sim" "$@"
  printf '(exit %s)\n' "$?"
}

run list
run set --control brightness --value 200
run auto --control exposure --enabled off
run set --control exposure --value 0.01
run on --control panTiltRelative --enabled on
run move --pan 1 --speed 0.5
run absolute --pan 30 --tilt -10
run home
run set --device webcam --control hue --value -5
run set --control brightness --value loud
