#!/usr/bin/env zsh
# Runs the zsh completion of camknob, camknob-sim, camknob-profile and camknobd in an
# interactive zsh on a pseudo-terminal, over a table of command lines, and
# checks the words it offers (as added, before zsh quotes them): with jq,
# with python3 only, and with neither.
#
# Usage: zsh_completion_test.zsh CAMKNOB_SIM

emulate -L zsh
setopt no_unset

if (( $# != 1 )) || [[ ! -x $1 ]]; then
  print -u2 "usage: $0 CAMKNOB_SIM"
  return 2
fi
zmodload zsh/zpty zsh/system

here=${0:A:h}
completion_dir=${here:h:h}/completion
two_cameras=$here/two-cameras.json
sim=${1:A}
scratch=$(mktemp -d)
# zpty runs its command in a fork of this shell, which runs the EXIT trap
# too: only this process removes the scratch folder.
main_pid=$sysparams[pid]
trap '[[ $sysparams[pid] == $main_pid ]] && rm -rf -- $scratch' EXIT

# One folder of programs per way of reading the listing; camknob is
# camknob-sim too, so that camknob-profile lists the demo system.
python=$(python3 -c 'import sys; print(sys.executable)' 2>/dev/null) || python=
parsers=(none)
for parser in jq python3 none; do
  mkdir $scratch/bin-$parser
  ln -s $sim $scratch/bin-$parser/camknob-sim
  ln -s $sim $scratch/bin-$parser/camknob
  ln -s ${commands[timeout]:-/bin/false} $scratch/bin-$parser/timeout
done
if (( $+commands[jq] )); then
  ln -s $commands[jq] $scratch/bin-jq/jq
  parsers+=(jq)
else
  print "jq not found: the runs with jq are skipped"
fi
if [[ -n $python ]]; then
  ln -s $python $scratch/bin-python3/python3
  parsers+=(python3)
else
  print "python3 not found: the runs with python3 are skipped"
fi

files=$scratch/files
mkdir -p $files/profiles/old $files/other
touch $files/profiles/desk.json "$files/profiles/room one.json" $files/profiles/notes.txt \
  $files/other/readme.txt

table_kinds=(blackLevel whiteLevel hue saturation contrast sharpness brightness gain iris shutter
  exposure whiteBalanceU whiteBalanceV whiteBalance gamma temperature zoom focus pan tilt
  opticalFilter backlightCompensation powerLineFrequency noiseReduction panTiltAbsolute
  panTiltRelative zoomRelative roll)
demo_devices=('PTZ Pro USB Camera' SIM-PTZ-0001 'HD Webcam' SIM-WEBCAM-0002)

# The shell under test: compinit with the completion's folder first, and a
# completion widget that reports every word added (compadd -O) on one line
# instead of inserting or listing anything.
setup='
PS1="" RPS1="" PROMPT_EOL_MARK=""
unsetopt zle_bracketed_paste 2>/dev/null
fpath=(COMPLETION_DIR $fpath)
autoload -Uz compinit && compinit -u -D
typeset -ga _t_hits
compadd() {
  if (( ${argv[(I)-[OAD]]} )); then builtin compadd "$@"; return; fi
  local -a hits
  builtin compadd -O hits "$@"
  _t_hits+=("${hits[@]}")
  builtin compadd "$@"
}
_t_complete() {
  _t_hits=()
  _main_complete
  print -rn -- $'"'"'\n<HITS>'"'"'${(pj:\x1f:)${(ou)_t_hits}}$'"'"'<END>\n'"'"'
  compstate[insert]="" compstate[list]=""
}
zle -C t-complete complete-word _t_complete
bindkey "^I" t-complete
'
setup=${setup//COMPLETION_DIR/${(q)completion_dir}}

# Runs COMMAND in the shell under test and waits for it to finish.
in_shell() {
  zpty -w shell "$1; print -r -- '<DO''NE>'"
  local out= chunk
  integer deadline=$(( SECONDS + 20 ))
  while (( SECONDS < deadline )) && [[ $out != *'<DONE>'* ]]; do
    zpty -r -t shell chunk 2>/dev/null && out+=$chunk || sleep 0.05
  done
}

integer failures=0 cases=0

# Completes LINE and compares the words offered, sorted and each once, with
# the expected ones: those before "--" when live words can be read, those
# after it (or the same) when they cannot.
t() {
  local line=$1
  shift
  local -a with_live without_live expected
  integer separator=${argv[(i)--]}
  with_live=("${(@)argv[1,separator-1]}")
  if (( separator <= $# )); then
    without_live=("${(@)argv[separator+1,-1]}")
  else
    without_live=("${(@)with_live}")
  fi
  if [[ $parser == none ]]; then expected=("${(@)without_live}"); else expected=("${(@)with_live}"); fi
  expected=("${(@ou)expected}")

  (( cases++ ))
  zpty -w -n shell "$line"$'\t'
  local out= chunk
  integer deadline=$(( SECONDS + 20 ))
  while (( SECONDS < deadline )); do
    if zpty -r -t shell chunk 2>/dev/null; then
      out+=$chunk
      [[ $out == *'<HITS>'*'<END>'* ]] && break
    else
      sleep 0.05
    fi
  done
  zpty -w -n shell $'\C-e\C-u'
  if [[ $out != *'<HITS>'*'<END>'* ]]; then
    (( failures++ ))
    print -r -- "FAIL [$parser] ${(q+)line}: no answer from the completion"
    return 0
  fi
  local hits=${${out##*<HITS>}%%<END>*}
  local -a offered
  offered=("${(@ps:\x1f:)hits}")
  if [[ ${(pj:\x1f:)offered} != ${(pj:\x1f:)expected} ]]; then
    (( failures++ ))
    print -r -- "FAIL [$parser] ${(q+)line}"
    print -r -- "  offered:  ${(j: | :)offered}"
    print -r -- "  expected: ${(j: | :)expected}"
  fi
  return 0
}

run_table() {
  t 'camknob-sim ' list set auto on move home absolute
  t 'camknob a' auto absolute
  t 'camknob set --' --device --control --value
  t 'camknob set --device x --' --control --value
  t 'camknob move --' --device --pan --tilt --speed
  t 'camknob absolute --' --device --pan --tilt
  t 'camknob home --' --device
  t 'camknob list --'
  t 'camknob auto --enabled ' on off true false yes no 1 0
  t 'camknob move --pan '
  t 'camknob-profile ' save apply
  t 'camknob-profile -' -h --help
  t 'camknob-profile save --' --device

  # camknobd and camknobd-sim: each option once, --help alone.
  t 'camknobd -' --listen --token-file --allow-host --show-key --new-key --help
  t 'camknobd-sim --listen 127.0.0.1:0 -' --token-file --allow-host --show-key --new-key --help
  t 'camknobd --allow-host a --new-key -' --listen --token-file --allow-host --help
  t 'camknobd --help -'
  t 'camknobd --listen ' localhost:9734 127.0.0.1:9734 '[::1]:9734' 127.0.0.1:0

  t 'camknob-sim set --control ' $table_kinds
  t 'camknob-sim set --device ' $demo_devices --
  t 'camknob-sim set --device H' 'HD Webcam' --
  t 'camknob-profile apply --device ' $demo_devices --

  in_shell "export CAMKNOB_SIM_FIXTURE=${(q)two_cameras}"
  t 'camknob-sim set --control ' $table_kinds hflp 'xyz ' -- $table_kinds
  t 'camknob-sim on --control z' zoom zoomRelative zzro -- zoom zoomRelative
  t 'camknob-sim set --device vivid --control v' vflp --
  t "camknob-sim on --device 'Desk Cam' --control x" 'xyz ' --
  t 'camknob-sim move --device p' 'platform:vivid-000' --

  # On Linux, with no camera's kinds to offer, the codes of the V4L2
  # controls that have no kind name come with the table.
  in_shell "OSTYPE=linux-gnu"
  t 'camknob-sim set --device nobody --control h' hue hflp hbln
  t 'camknob-sim set --device vivid --control v' vflp -- vflp vbln
  in_shell "unset CAMKNOB_SIM_FIXTURE"
  t 'camknob-sim set --control fl' -- flmd flss fltm flin fltr flid
  in_shell "OSTYPE=darwin"

  # apply prefers .json files (and folders) while there is one; file names
  # come quoted.
  t "camknob-profile apply $files/profiles/" desk.json 'room\ one.json' old
  t "camknob-profile apply $files/other/" readme.txt
  t "camknob-profile save $files/profiles/" desk.json 'room\ one.json' old notes.txt
  t "camknobd --token-file $files/other/" readme.txt
}

for parser in $parsers; do
  zpty shell zsh -f -i
  # The table's cases hold on every system; the Linux codes have their own.
  zpty -w shell "path=(${(q)scratch}/bin-$parser); OSTYPE=darwin; $setup"
  in_shell :
  run_table
  zpty -d shell
done

print "$cases cases, $failures failed"
(( failures == 0 ))
