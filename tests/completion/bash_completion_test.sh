#!/usr/bin/env bash
# Runs the bash completion of camknob, camknob-sim, camknob-profile and
# camknobd over a table of command lines and checks what it offers, word for
# word: with jq, with python3 only (and no timeout), and with neither; each
# both without and with the bash-completion package when it is installed.
#
# Usage: bash_completion_test.sh CAMKNOB_SIM
# Live words come from the demo system of CAMKNOB_SIM and from
# two-cameras.json beside this script.

if ((BASH_VERSINFO[0] < 4)); then
  echo "bash ${BASH_VERSION} is older than 4: skipped"
  exit 77
fi
if [[ $# -ne 1 || ! -x $1 ]]; then
  echo "usage: $0 CAMKNOB_SIM" >&2
  exit 2
fi

here=$(cd "$(dirname "$0")" && pwd)
completion=$here/../../completion/camknob.bash
two_cameras=$here/two-cameras.json
sim=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
bash_completion_package=/usr/share/bash-completion/bash_completion
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# --- Programs: one folder of links per way of reading the listing ----------
# camknob is camknob-sim too, so that camknob-profile's listing (camknob
# list) shows the demo system instead of this machine's cameras.
python=$(python3 -c 'import sys; print(sys.executable)' 2>/dev/null)
for parser in jq python3 none; do
  mkdir "$scratch/bin-$parser"
  ln -s "$sim" "$scratch/bin-$parser/camknob-sim"
  ln -s "$sim" "$scratch/bin-$parser/camknob"
done
ln -s "$(type -P timeout)" "$scratch/bin-jq/timeout"
ln -s "$(type -P timeout)" "$scratch/bin-none/timeout"
parsers=(none)
if type -P jq >/dev/null; then
  ln -s "$(type -P jq)" "$scratch/bin-jq/jq"
  parsers+=(jq)
else
  echo "jq not found: the runs with jq are skipped"
fi
if [[ -n $python ]]; then
  ln -s "$python" "$scratch/bin-python3/python3"
  parsers+=(python3)
else
  echo "python3 not found: the runs with python3 are skipped"
fi

# A camknob beside a camknob-profile that is not on PATH: its own camera.
mkdir "$scratch/other"
printf '#!%s\nprintf "%%s\\n" %q\n' "$BASH" \
  '{"devices":[{"controls":[],"name":"Other Cam","objectId":2,"uid":"OTHER-1"}],"ok":true}' \
  >"$scratch/other/camknob"
chmod +x "$scratch/other/camknob"

# A camknob-sim that never answers.
mkdir "$scratch/hang"
printf '#!%s\nexec %q 30\n' "$BASH" "$(type -P sleep)" >"$scratch/hang/camknob-sim"
chmod +x "$scratch/hang/camknob-sim"

# Files for camknob-profile and redirections.
files=$scratch/files
mkdir -p "$files/profiles/old" "$files/other"
touch "$files/profiles/desk.json" "$files/profiles/room one.json" "$files/profiles/notes.txt" \
  "$files/profiles/cam:1.json" "$files/other/readme.txt"

table_kinds=(blackLevel whiteLevel hue saturation contrast sharpness brightness gain iris shutter
  exposure whiteBalanceU whiteBalanceV whiteBalance gamma temperature zoom focus pan tilt
  opticalFilter backlightCompensation powerLineFrequency noiseReduction panTiltAbsolute
  panTiltRelative zoomRelative roll)
demo_devices=('PTZ\ Pro\ USB\ Camera' SIM-PTZ-0001 'HD\ Webcam' SIM-WEBCAM-0002)

failures=0
cases=0
failed_modes=0

# compopt outside a completion only complains; this one records its use.
compopt() { compopt_calls+=("$*"); }

# Completes LINE (the cursor at <TAB>, else at the end) and compares the
# sorted COMPREPLY with the expected words: those before a "--" when live
# words can be read, those after it (or the same) when they cannot.
# FILENAMES=1 before the call: the completion must ask readline to treat the
# words as file names.
t() {
  local typed=$1
  shift
  local -a with_live=() without_live=()
  local word seen_separator=
  for word; do
    if [[ $word == -- && -z $seen_separator ]]; then
      seen_separator=1
    elif [[ -n $seen_separator ]]; then
      without_live+=("$word")
    else
      with_live+=("$word")
    fi
  done
  [[ -n $seen_separator ]] || without_live=("${with_live[@]}")
  local -a expected=("${with_live[@]}")
  [[ $parser == none ]] && expected=("${without_live[@]}")

  local line=${typed/<TAB>/} point=${typed%%<TAB>*}
  point=${#point}
  local -a words
  read -ra words <<<"${line:0:point}"
  [[ ${line:0:point} == *' ' || -z ${line:0:point} ]] && words+=("")
  run_completion "$line" "$point" "${words[@]}"
  check "$typed" "${expected[@]}"
}

# Calls the completion function as bash does, with the PATH of the mode and
# standard error caught.
run_completion() {
  local line=$1 point=$2
  shift 2
  COMP_WORDS=("$@")
  COMP_CWORD=$(($# - 1))
  COMP_LINE=$line
  COMP_POINT=$point
  COMP_TYPE=9 COMP_KEY=9
  COMPREPLY=()
  compopt_calls=()
  local saved_path=$PATH
  PATH=$mode_path
  # The table's cases hold on every system; the Linux codes offered without
  # a camera's kinds have cases of their own (CASE_OSTYPE=linux-gnu).
  local OSTYPE=${CASE_OSTYPE:-darwin}
  _camknob "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]-}" \
    2>"$scratch/stderr"
  PATH=$saved_path
}

# Sorts the arguments into the array "sorted", byte by byte.
sort_words() {
  local LC_ALL=C word i
  sorted=()
  for word; do
    for ((i = ${#sorted[@]}; i > 0; i--)); do
      [[ ${sorted[i - 1]} > $word ]] || break
      sorted[i]=${sorted[i - 1]}
    done
    sorted[i]=$word
  done
}

# Compares the sorted COMPREPLY with the arguments; also fails on anything
# written to standard error, and on file-name treatment asked for wrongly.
check() {
  local name=$1 expected actual problem= IFS='|'
  shift
  local -a sorted
  ((cases++))
  sort_words "$@"
  expected="${sorted[*]}"
  sort_words "${COMPREPLY[@]}"
  actual="${sorted[*]}"
  [[ $actual == "$expected" ]] || problem+=$'\n  offered:  '"$actual"$'\n  expected: '"$expected"
  [[ -s $scratch/stderr ]] && problem+=$'\n  standard error: '"$(<"$scratch/stderr")"
  local asked=" ${compopt_calls[*]-} "
  if [[ -n ${FILENAMES-} && $asked != *'-o filenames'* ]]; then
    problem+=$'\n  file names, but readline was not told so'
  elif [[ -z ${FILENAMES-} && $asked == *'-o filenames'* ]]; then
    problem+=$'\n  readline was told to treat the words as file names'
  fi
  if [[ -n $problem ]]; then
    ((failures++))
    echo "FAIL [$mode] $name$problem"
  fi
}

run_table() {
  # Command words and options: the same whatever reads the listing.
  unset CAMKNOB_SIM_FIXTURE
  t 'camknob ' list set auto on move home absolute
  t 'camknob a' auto absolute
  t 'camknob-sim o' on
  t 'camknob set ' --device --control --value
  t 'camknob set -' --device --control --value
  t 'camknob auto --' --device --control --enabled
  t 'camknob on ' --device --control --enabled
  t 'camknob move ' --device --pan --tilt --speed
  t 'camknob home ' --device
  t 'camknob absolute --' --device --pan --tilt
  t 'camknob list '
  t 'camknob list --'
  t 'camknob frob '
  t 'camknob save '
  t 'camknob set --device x --control brightness ' --value
  t 'camknob set --device x --control brightness --value 3 '
  # A device named "--control": the option itself is still to be given.
  t 'camknob set --device --control ' --control --value
  t 'camknob set --co<TAB> --device x' --control
  t 'camknob set brightness'
  t 'camknob set --value '
  t 'camknob move --pan '
  t 'camknob move --device x --speed '
  t 'camknob absolute --tilt '
  t 'camknob auto --enabled ' on off true false yes no 1 0
  t 'camknob on --control focus --enabled t' true
  t 'camknob-profile ' save apply --help
  t 'camknob-profile a' apply
  t 'camknob-profile save -' --device
  t 'camknob-profile apply --device x -'
  t 'camknob-profile set '

  # camknobd and camknobd-sim: each option once, then its value.
  t 'camknobd ' --listen --token-file --allow-host --show-key --new-key --help
  t 'camknobd-sim --' --listen --token-file --allow-host --show-key --new-key --help
  t 'camknobd --listen 127.0.0.1:0 ' --token-file --allow-host --show-key --new-key --help
  t 'camknobd-sim --help --t' --token-file
  t 'camknobd --allow-host a --allow-host b ' --listen --token-file --allow-host --show-key \
    --new-key --help
  t 'camknobd --allow-host '
  t 'camknobd --new-key ' --listen --token-file --allow-host --help
  t 'camknobd-sim --show-key --' --listen --token-file --allow-host --help
  t 'camknobd --listen ' localhost:9734 127.0.0.1:9734 '\[::1\]:9734' 127.0.0.1:0
  t 'camknobd --listen 127' 127.0.0.1:9734 127.0.0.1:0
  # Readline replaces only what follows the colon.
  t 'camknobd-sim --listen localhost:' 9734
  t 'camknobd --token-file x --listen ' localhost:9734 127.0.0.1:9734 '\[::1\]:9734' \
    127.0.0.1:0
  t 'camknobd --listen --token-file ' --token-file --allow-host --show-key --new-key --help
  t 'camknobd list '
  t 'camknobd-sim set --control '

  # Kinds: the table, and those of the camera the line selects.
  t 'camknob-sim set --control ' "${table_kinds[@]}"
  t 'camknob-sim set --control b' blackLevel brightness backlightCompensation
  t 'camknob-sim auto --device webcam --control h' hue
  t 'camknob-sim on --control pan' pan panTiltAbsolute panTiltRelative

  export CAMKNOB_SIM_FIXTURE=$two_cameras
  # The first camera: settable ones for set, automatic ones for auto; none
  # switches on, so on offers all of its kinds.
  t 'camknob-sim set --control ' "${table_kinds[@]}" hflp 'xyz\ ' -- "${table_kinds[@]}"
  t 'camknob-sim auto --control w' whiteLevel whiteBalanceU whiteBalanceV whiteBalance wbpr \
    -- whiteLevel whiteBalanceU whiteBalanceV whiteBalance
  t 'camknob-sim on --control ' "${table_kinds[@]}" hflp 'xyz\ ' zzro wbpr -- "${table_kinds[@]}"
  # A kind ending in a blank, as typed plain or in quotes.
  t 'camknob-sim set --control x' 'xyz\ ' --
  t 'camknob-sim set --control "x' 'xyz ' --
  t "camknob-sim set --control 'x" 'xyz ' --
  # --device selects the camera as the tool does: uid, name ignoring case,
  # part of the name; the first --device counts; before or after the cursor.
  t 'camknob-sim set --device vivid --control ' "${table_kinds[@]}" vflp -- "${table_kinds[@]}"
  t 'camknob-sim on --device VIVID --control i' iris ilm1 -- iris
  t 'camknob-sim auto --device vivid --control v' vflp --
  t 'camknob-sim set --device platform:vivid-000 --control v' vflp --
  t "camknob-sim set --device 'platform:vivid-000' --control v" vflp --
  t 'camknob-sim set --device cam: --control h' hue hflp -- hue
  t 'camknob-sim set --device Desk\ Cam:\ Pro --control x' 'xyz\ ' --
  t 'camknob-sim set --device vivid --device desk --control v' vflp --
  t 'camknob-sim set --control v<TAB> --device vivid' vflp --
  t 'camknob-sim set --device nobody --control h' hue
  t 'camknob-sim set --device --control v'

  # Device names and uids, quoted for the word as typed so far.
  unset CAMKNOB_SIM_FIXTURE
  t 'camknob-sim set --device ' "${demo_devices[@]}" --
  t 'camknob-sim home --device H' 'HD\ Webcam' --
  t 'camknob-sim home --device "H' 'HD Webcam' --
  t "camknob-sim home --device 'P" 'PTZ Pro USB Camera' --
  t 'camknob-sim home --device PTZ\ P' 'PTZ\ Pro\ USB\ Camera' --
  t 'camknob-sim home --device "PTZ Pro" --control ' --
  t 'camknob-profile save --device ' "${demo_devices[@]}" --
  t 'camknob-profile apply x.json --device S' SIM-PTZ-0001 SIM-WEBCAM-0002 --
  t "$scratch/other/camknob-profile apply --device " 'Other\ Cam' OTHER-1 --
  export CAMKNOB_SIM_FIXTURE=$two_cameras
  # Readline replaces only what follows the last colon outside quotes.
  t 'camknob-sim move --device usb-0000:00:1' '14.0-1/046d:085e' --
  t 'camknob-sim move --device platform:' 'vivid-000' --
  t 'camknob-sim move --device Desk\ Cam:\ ' '\ Pro' --
  t 'camknob-sim move --device "Desk Cam: ' 'Desk Cam: Pro' --

  # A listing that fails gives no live word, and says nothing.
  export CAMKNOB_SIM_FIXTURE=$scratch/missing.json
  t 'camknob-sim set --control b' blackLevel brightness backlightCompensation
  t 'camknob-sim set --device '
  # On Linux, with no camera's kinds to offer, the codes of the V4L2
  # controls that have no kind name come with the table.
  CASE_OSTYPE=linux-gnu
  t 'camknob-sim set --control b' blackLevel brightness backlightCompensation bgco bstp
  t 'camknob-sim set --control fl' flmd flss fltm flin fltr flid
  unset CAMKNOB_SIM_FIXTURE
  t 'camknob-sim set --control b' blackLevel brightness backlightCompensation -- \
    blackLevel brightness backlightCompensation bgco bstp
  export CAMKNOB_SIM_FIXTURE=$two_cameras
  t 'camknob-sim set --device nobody --control h' hue hflp hbln
  t 'camknob-sim set --device vivid --control v' vflp -- vflp vbln
  unset CAMKNOB_SIM_FIXTURE CASE_OSTYPE

  # File names: readline quotes them. apply prefers .json files (and
  # folders) while there is one.
  FILENAMES=1
  t "camknob-profile apply $files/profiles/" "$files/profiles/desk.json" \
    "$files/profiles/room one.json" "$files/profiles/cam:1.json" "$files/profiles/old"
  t "camknob-profile apply --device x $files/other/" "$files/other/readme.txt"
  t "camknob-profile save $files/profiles/" "$files/profiles/desk.json" \
    "$files/profiles/room one.json" "$files/profiles/cam:1.json" "$files/profiles/old" \
    "$files/profiles/notes.txt"
  t "camknob-profile save \"$files/profiles/r" "$files/profiles/room one.json"
  t "camknob-profile apply $files/profiles/cam:" 1.json
  t "camknobd --token-file $files/other/" "$files/other/readme.txt"
  t "camknobd-sim --listen 127.0.0.1:0 --token-file $files/profiles/d" \
    "$files/profiles/desk.json"
  t "camknob-sim list >$files/other/r" "$files/other/readme.txt"
  t "camknob-sim list 2> $files/other/r" "$files/other/readme.txt"
  unset FILENAMES
  t "camknob-profile save $files/profiles/desk.json " --device
  t "camknob-profile save $files/profiles/desk.json --device x "
  t "camknob-sim set 2>/dev/null --control b" blackLevel brightness backlightCompensation

  # Without COMP_LINE, from COMP_WORDS alone.
  local saved_path=$PATH
  unset COMP_LINE COMP_POINT
  COMP_WORDS=(camknob set --co) COMP_CWORD=2 COMPREPLY=()
  PATH=$mode_path _camknob camknob --co set 2>"$scratch/stderr"
  PATH=$saved_path
  check 'COMP_WORDS: camknob set --co' --control
  COMP_WORDS=(camknob-sim home --device '"H') COMP_CWORD=3 COMPREPLY=()
  PATH=$mode_path _camknob camknob-sim '"H' --device 2>"$scratch/stderr"
  PATH=$saved_path
  if [[ $parser == none ]]; then check 'COMP_WORDS: --device "H'; else
    check 'COMP_WORDS: --device "H' 'HD Webcam'
  fi

  # A listing that hangs (for 30 s) is given up after two seconds.
  if [[ $parser == jq ]]; then
    local started=$SECONDS
    t "$scratch/hang/camknob-sim set --control z" zoom zoomRelative
    if ((SECONDS - started > 15)); then
      ((failures++))
      echo "FAIL [$mode] a hanging listing held the completion for $((SECONDS - started)) s"
    fi
  fi
}

# The registration: every name, whichever loads the file, however often.
check_registration() {
  local name
  for name in camknob camknob-sim camknob-profile camknob-profile-sim camknobd camknobd-sim; do
    ((cases++))
    if [[ $(complete -p "$name" 2>&1) != "complete -F _camknob $name" ]]; then
      ((failures++))
      echo "FAIL [$1] registration of $name: $(complete -p "$name" 2>&1)"
    fi
  done
}

helpers=(plain)
if [[ -r $bash_completion_package ]]; then
  helpers+=(bash-completion)
else
  echo "$bash_completion_package not found: the runs with bash-completion are skipped"
fi

for helper in "${helpers[@]}"; do
  for parser in "${parsers[@]}"; do
    mode="$helper, $parser"
    mode_path=$scratch/bin-$parser
    # Each mode in a shell of its own, so that nothing of one loading
    # stays for the next.
    (
      if [[ $helper == bash-completion ]]; then
        # As installed: bash-completion loads the file by the command's name.
        mkdir -p "$scratch/user-$parser/completions"
        ln -sf "$completion" "$scratch/user-$parser/completions/camknob-profile"
        export BASH_COMPLETION_USER_DIR=$scratch/user-$parser
        # shellcheck source=/dev/null
        source "$bash_completion_package"
        unset -f compopt
        compopt() { compopt_calls+=("$*"); }
        _completion_loader camknob-profile
      else
        # shellcheck source=/dev/null
        source "$completion"
        # shellcheck source=/dev/null
        source "$completion"
      fi
      check_registration "$mode"
      run_table
      echo "[$mode] $cases cases, $failures failed"
      ((failures == 0))
    ) || ((failed_modes++))
  done
done

if ((failed_modes > 0)); then
  echo "FAILED in $failed_modes of the ways"
  exit 1
fi
echo "passed"
