# bash completion for camknob, camknob-sim, camknob-profile, camknob-profile-sim,
# camknobd and camknobd-sim.
#
# One file serves every command: bash-completion loads a completion file by
# the name of the command being completed, so whichever name loads it, it
# registers them all. Loading it again only defines the same functions again.
#
# The command line is read from COMP_LINE and COMP_POINT rather than from
# COMP_WORDS: bash splits COMP_WORDS at colons and equals signs, and every
# V4L2 uid has colons in it (usb-0000:00:14.0-1/046d:085e). Completions are
# quoted here (names with spaces, kinds ending in a space), except file names,
# which readline quotes itself. Nothing of the bash-completion package is
# needed; it may be loaded or not.

# Associative arrays, mapfile and compopt need bash 4.
if ((BASH_VERSINFO[0] < 4)); then
  return 0 2>/dev/null || exit 0
fi

# Splits LINE into shell words as typed, quotes kept, so that a quoted blank
# or a colon stays inside its word. Sets the caller's arrays _starts, _ends
# (character offsets, end exclusive) and _operators (1 for a redirection).
_camknob_split() {
  local line=$1 quote= escaped= in_word= c next i last n=${#1}
  _starts=() _ends=() _operators=()
  for ((i = 0; i < n; i++)); do
    c=${line:i:1}
    if [[ -n $escaped ]]; then
      escaped=
      continue
    fi
    case $quote in
      "'")
        [[ $c == "'" ]] && quote=
        continue
        ;;
      '"' | '$')
        if [[ $c == '\' ]]; then
          escaped=1
        elif [[ ($quote == '"' && $c == '"') || ($quote == '$' && $c == "'") ]]; then
          quote=
        fi
        continue
        ;;
    esac
    case $c in
      ' ' | $'\t' | $'\n')
        if [[ -n $in_word ]]; then
          _ends+=("$i")
          in_word=
        fi
        continue
        ;;
      '<' | '>' | '&')
        next=${line:i+1:1}
        if [[ $c != '&' || $next == '>' ]]; then
          # A redirection: a word of its own, taking a number just before it
          # (2>) and the operator characters after it (>>, >&, <<<).
          if [[ -n $in_word ]]; then
            last=$((${#_starts[@]} - 1))
            if [[ ${line:_starts[last]:i-_starts[last]} =~ ^[0-9]+$ ]]; then
              _operators[last]=1
            else
              _ends+=("$i")
              _starts+=("$i") _operators+=(1)
            fi
          else
            _starts+=("$i") _operators+=(1)
          fi
          while [[ ${line:i+1:1} == [\<\>\&\|] ]]; do ((i++)); done
          _ends+=("$((i + 1))")
          in_word=
          continue
        fi
        ;;
    esac
    if [[ -z $in_word ]]; then
      _starts+=("$i") _operators+=(0)
      in_word=1
    fi
    case $c in
      '\') escaped=1 ;;
      "'" | '"') quote=$c ;;
      '$') [[ ${line:i+1:1} == "'" ]] && quote='$' && ((i++)) ;;
    esac
  done
  [[ -n $in_word ]] && _ends+=("$n")
  return 0
}

# The text a typed word stands for: quotes and backslashes removed. Sets
# REPLY, and for a word being completed also _open (the quote still open at
# its end, if any) and _lead (the text of the word before the point where
# readline starts the part it replaces: an open quote, or the last colon,
# equals sign or other word break outside quotes).
_camknob_dequote() {
  local word=$1 quote= c i n=${#1} segment break_lead= quote_lead=
  local breaks=${COMP_WORDBREAKS-$' \t\n"\'><=;|&(:'}
  breaks=${breaks//[\"\' $'\t\n']/}
  REPLY= _open= _lead=
  for ((i = 0; i < n; i++)); do
    c=${word:i:1}
    case $quote in
      "'")
        if [[ $c == "'" ]]; then quote=; else REPLY+=$c; fi
        continue
        ;;
      '"')
        if [[ $c == '"' ]]; then
          quote=
        elif [[ $c == '\' && $i -lt $((n - 1)) && ${word:i+1:1} == [\$\`\"\\$'\n'] ]]; then
          ((i++))
          [[ ${word:i:1} == $'\n' ]] || REPLY+=${word:i:1}
        else
          REPLY+=$c
        fi
        continue
        ;;
      '$')
        if [[ $c == "'" ]]; then
          printf -v c '%b' "$segment"
          REPLY+=$c
          quote=
        elif [[ $c == '\' && $i -lt $((n - 1)) ]]; then
          ((i++))
          case ${word:i:1} in
            "'" | '"' | '?') segment+=${word:i:1} ;;
            *) segment+="\\${word:i:1}" ;;
          esac
        else
          segment+=$c
        fi
        continue
        ;;
    esac
    case $c in
      '\')
        ((i++))
        [[ ${word:i:1} == $'\n' ]] || REPLY+=${word:i:1}
        ;;
      "'" | '"')
        quote=$c
        quote_lead=$REPLY
        ;;
      '$')
        if [[ ${word:i+1:1} == "'" ]]; then
          quote='$' segment=
          quote_lead=$REPLY
          ((i++))
        else
          REPLY+=$c
        fi
        ;;
      *)
        REPLY+=$c
        [[ -n $breaks && $breaks == *"$c"* ]] && break_lead=$REPLY
        ;;
    esac
  done
  if [[ -n $quote ]]; then
    # An unfinished $'...' stands for what it has so far.
    [[ $quote == '$' ]] && printf -v c '%b' "$segment" && REPLY+=$c
    _open=${quote/\$/\'}
    _lead=$quote_lead
  else
    # A quote opened and closed earlier in the word does not start
    # readline's part; only a word break outside quotes does.
    _lead=$break_lead
  fi
  return 0
}

# Escapes TEXT for the inside of the quote QUOTE (', " or none).
_camknob_escape() {
  local quote=$1 text=$2 c i
  REPLY=
  case $quote in
    "'")
      for ((i = 0; i < ${#text}; i++)); do
        c=${text:i:1}
        if [[ $c == "'" ]]; then REPLY+="'\\''"; else REPLY+=$c; fi
      done
      ;;
    '"')
      for ((i = 0; i < ${#text}; i++)); do
        c=${text:i:1}
        [[ $c == [\$\`\"\\] ]] && REPLY+='\'
        REPLY+=$c
      done
      ;;
    *)
      [[ -n $text ]] && printf -v REPLY '%q' "$text"
      ;;
  esac
  return 0
}

# Adds to COMPREPLY every argument that begins with the word being completed,
# once, as readline is to insert it: from its start point on, quoted.
_camknob_offer() {
  local value
  local -A offered=()
  for value; do
    [[ -n $value && $value == "$_cur_text"* && -z ${offered[x$value]-} ]] || continue
    offered[x$value]=1
    _camknob_escape "$_cur_open" "${value:${#_cur_lead}}"
    COMPREPLY+=("$REPLY")
  done
}

# File names for the word being completed; with "json", .json files and
# folders when there is such a file, any file otherwise. Readline quotes
# them (-o filenames).
_camknob_files() {
  local -a found=() chosen=()
  local path expanded
  mapfile -t found < <(compgen -f -- "$_cur_text")
  if [[ ${1-} == json ]]; then
    for path in "${found[@]}"; do
      expanded=$path
      [[ $path == '~/'* ]] && expanded=$HOME/${path:2}
      if [[ $path == *.[jJ][sS][oO][nN] && ! -d $expanded ]]; then
        chosen+=("$path")
      fi
    done
    if ((${#chosen[@]} > 0)); then
      for path in "${found[@]}"; do
        expanded=$path
        [[ $path == '~/'* ]] && expanded=$HOME/${path:2}
        [[ -d $expanded ]] && chosen+=("$path")
      done
      found=("${chosen[@]}")
    fi
  fi
  compopt -o filenames 2>/dev/null
  for path in "${found[@]}"; do
    [[ $path == "$_cur_lead"* ]] && COMPREPLY+=("${path:${#_cur_lead}}")
  done
  return 0
}

# Prints the live words from `PROGRAM list`: WHAT is "devices" (each
# camera's name and uid) or "kinds" (the kinds of the camera DEVICE selects,
# as the tool selects it, or of the first camera when HAS_DEVICE is empty;
# with FILTER, only the controls whose FILTER is true, unless none is).
# Needs jq or python3; a listing that fails or hangs gives nothing.
_camknob_live() {
  local what=$1 program=$2 has_device=${3-} device=${4-} filter=${5-}
  local -a run=("$program" list)
  type -P -- "$program" >/dev/null || return 0
  type -P timeout >/dev/null && run=(timeout 2 "${run[@]}")
  if type -P jq >/dev/null; then
    "${run[@]}" 2>/dev/null </dev/null | jq -r --arg what "$what" --arg has "$has_device" \
      --arg device "$device" --arg filter "$filter" '
      def plain: type == "string" and . != "" and (explode | all(. != 10 and . != 0));
      if $what == "devices" then
        .devices[]? | (.name, .uid) | select(plain)
      else
        ($device | ascii_downcase) as $wanted
        | [.devices[]? | select($has == ""
            or .uid == $device
            or ((.name // "") | ascii_downcase | . == $wanted or ($wanted != "" and contains($wanted))))]
        | (.[0].controls // [])
        | [.[] | select(.kind | plain)] as $all
        | [$all[] | select($filter != "" and .[$filter] == true)] as $some
        | (if ($some | length) > 0 then $some else $all end)[].kind
      end' 2>/dev/null
  elif type -P python3 >/dev/null; then
    "${run[@]}" 2>/dev/null </dev/null | python3 -c '
import json, os, sys
what, has_device, filter_key = sys.argv[1], sys.argv[2], sys.argv[4]
device = os.fsencode(sys.argv[3]).decode("utf-8", "surrogateescape")
fold = str.maketrans("ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz")
def plain(text):
    return isinstance(text, str) and text != "" and "\n" not in text and "\0" not in text
def out(text):
    sys.stdout.buffer.write(text.encode("utf-8", "surrogateescape") + b"\n")
try:
    devices = json.load(sys.stdin.buffer).get("devices", [])
    if what == "devices":
        for camera in devices:
            for text in (camera.get("name"), camera.get("uid")):
                if plain(text):
                    out(text)
    else:
        wanted = device.translate(fold)
        def chosen(camera):
            name = camera.get("name", "")
            name = name.translate(fold) if isinstance(name, str) else ""
            return (not has_device or camera.get("uid") == device or name == wanted
                    or (wanted != "" and wanted in name))
        camera = next((camera for camera in devices if chosen(camera)), {})
        controls = [c for c in camera.get("controls", []) if plain(c.get("kind"))]
        some = [c for c in controls if filter_key and c.get(filter_key) is True]
        for control in some or controls:
            out(control["kind"])
except Exception:
    pass
' "$what" "$has_device" "$device" "$filter" 2>/dev/null
  fi
  return 0
}

# The words of the line (raw, redirections left out) into _words, the index
# of the word being completed into _cword and its text up to the cursor into
# _cur; _redirect is 1 when that word is the target of a redirection.
_camknob_line() {
  _words=() _cword=0 _cur= _redirect=
  if [[ -z ${COMP_LINE+set} ]]; then
    _words=("${COMP_WORDS[@]}")
    _cword=$COMP_CWORD
    _cur=${COMP_WORDS[COMP_CWORD]-}
    return 0
  fi
  local line=$COMP_LINE point=${COMP_POINT:-${#COMP_LINE}}
  local -a _starts _ends _operators
  _camknob_split "$line"
  local i target= placed=
  for ((i = 0; i < ${#_starts[@]}; i++)); do
    if [[ -z $placed ]] && ((point <= _starts[i])); then
      # The cursor is between words: completing a new, empty one.
      placed=1
      if [[ -n $target ]]; then
        _redirect=1
        target=
      else
        _cword=${#_words[@]}
        _words+=("")
      fi
    fi
    if ((_operators[i])); then
      target=1
      if [[ -z $placed ]] && ((point <= _ends[i])); then
        placed=1 _cword=-1
      fi
      continue
    fi
    if [[ -z $placed ]] && ((point <= _ends[i])); then
      placed=1
      _cur=${line:_starts[i]:point-_starts[i]}
      if [[ -n $target ]]; then
        _redirect=1
        target=
        continue
      fi
      _cword=${#_words[@]}
    fi
    if [[ -n $target ]]; then
      target=
      continue
    fi
    _words+=("${line:_starts[i]:_ends[i]-_starts[i]}")
  done
  if [[ -z $placed ]]; then
    if [[ -n $target ]]; then
      _redirect=1
    else
      _cword=${#_words[@]}
      _words+=("")
    fi
  fi
  return 0
}

# The options each command reads; every one takes a value.
_camknob_options() {
  case $1 in
    set) REPLY='--device --control --value' ;;
    auto | on) REPLY='--device --control --enabled' ;;
    move) REPLY='--device --pan --tilt --speed' ;;
    home) REPLY='--device' ;;
    absolute) REPLY='--device --pan --tilt' ;;
    save | apply) REPLY='--device' ;;
    *) return 1 ;;
  esac
}

# camknobd and camknobd-sim: --listen ADDRESS:PORT and --token-file PATH
# once, --allow-host NAME as often as wanted, --show-key or --new-key, and
# --help, in any order; nothing after a word that is none of them.
_camknob_daemon() {
  local i word wanting= stray=
  local -A given=()
  for ((i = 1; i < ${#_words[@]}; i++)); do
    ((i == _cword)) && continue
    _camknob_dequote "${_words[i]}"
    word=$REPLY
    case $word in
      --listen | --token-file | --allow-host)
        given[$word]=1
        if ((i + 1 == _cword)); then
          wanting=$word
        fi
        ((i++))
        ;;
      --help) given[$word]=1 ;;
      --show-key | --new-key) given[key]=1 ;;
      *) stray=1 ;;
    esac
  done
  [[ -z $stray ]] || return 0
  case $wanting in
    --listen)
      _camknob_offer localhost:9734 127.0.0.1:9734 '[::1]:9734' 127.0.0.1:0
      ;;
    --token-file)
      _camknob_files
      ;;
    --allow-host) ;;  # a name of the user's choosing
    *)
      if [[ -z $_cur_text || $_cur_text == -* ]]; then
        local -a missing=()
        for word in --listen --token-file; do
          [[ -n ${given[$word]-} ]] || missing+=("$word")
        done
        missing+=(--allow-host)
        [[ -n ${given[key]-} ]] || missing+=(--show-key --new-key)
        [[ -n ${given[--help]-} ]] || missing+=(--help)
        _camknob_offer "${missing[@]}"
      fi
      ;;
  esac
  return 0
}

_camknob() {
  local program=${1##*/}
  local -a _words
  local _cword _cur _redirect _cur_text _cur_open _cur_lead REPLY _open _lead
  COMPREPLY=()
  _camknob_line
  _camknob_dequote "$_cur"
  _cur_text=$REPLY _cur_open=$_open _cur_lead=$_lead
  if [[ -n $_redirect ]]; then
    _camknob_files
    return 0
  fi
  ((_cword >= 1)) || return 0
  if [[ $program == camknobd* ]]; then
    _camknob_daemon
    return 0
  fi

  local profile=
  [[ $program == camknob-profile* ]] && profile=1
  if ((_cword == 1)); then
    if [[ -n $profile ]]; then
      _camknob_offer save apply --help
    else
      _camknob_offer list set auto on move home absolute
    fi
    return 0
  fi

  _camknob_dequote "${_words[1]}"
  local command=$REPLY
  [[ -n $profile && $command != save && $command != apply ]] && return 0
  [[ -z $profile && ($command == save || $command == apply) ]] && return 0
  _camknob_options "$command" || return 0
  local word
  local -a options
  read -ra options <<<"$REPLY"
  local -A known=()
  for word in "${options[@]}"; do known[x$word]=1; done

  # Pair each option with the word after it, as the tool reads them: the
  # option whose value is being typed, the options given, the first
  # --device's value and whether a FILE is there.
  local i wanting= has_device= device= has_file=
  local -A given=()
  for ((i = 2; i < ${#_words[@]}; i++)); do
    ((i == _cword)) && continue
    _camknob_dequote "${_words[i]}"
    word=$REPLY
    if [[ -n ${known[x$word]-} ]]; then
      given[$word]=1
      if ((i + 1 == _cword)); then
        wanting=$word
      elif ((i + 1 < ${#_words[@]})); then
        if [[ $word == --device && -z $has_device ]]; then
          _camknob_dequote "${_words[i + 1]}"
          has_device=1 device=$REPLY
        fi
      fi
      ((i++))
    else
      has_file=1
    fi
  done

  # The program whose listing gives the live words: the command itself, or
  # for camknob-profile the camknob beside it (camknob-sim beside a
  # simulated one), else the one on PATH.
  _camknob_dequote "${_words[0]}"
  local lister=$REPLY
  [[ $lister == '~/'* ]] && lister=$HOME/${lister:2}
  if [[ -n $profile ]]; then
    local sibling=camknob
    [[ $program == *-sim ]] && sibling=camknob-sim
    if [[ $lister == */* && -x ${lister%/*}/$sibling ]]; then
      lister=${lister%/*}/$sibling
    else
      lister=$sibling
    fi
  fi

  local -a live=()
  case $wanting in
    --device)
      if type -P jq >/dev/null || type -P python3 >/dev/null; then
        mapfile -t live < <(_camknob_live devices "$lister")
      fi
      _camknob_offer "${live[@]}"
      ;;
    --control)
      local filter=
      case $command in
        set) filter=settable ;;
        auto) filter=automaticSettable ;;
        on) filter=onSettable ;;
      esac
      if type -P jq >/dev/null || type -P python3 >/dev/null; then
        mapfile -t live < <(_camknob_live kinds "$lister" "$has_device" "$device" "$filter")
      fi
      # The kinds the tool knows by name, whatever the camera.
      local -a table=(blackLevel whiteLevel hue saturation contrast sharpness brightness gain
        iris shutter exposure whiteBalanceU whiteBalanceV whiteBalance gamma temperature zoom
        focus pan tilt opticalFilter backlightCompensation powerLineFrequency noiseReduction
        panTiltAbsolute panTiltRelative zoomRelative roll)
      # With no camera's kinds to offer, on Linux: the codes of the V4L2
      # controls the tool has no kind name for (hflp, priv, ...).
      if ((${#live[@]} == 0)) && [[ $OSTYPE == linux* ]]; then
        local -a linux_codes=(
        avol abal abas atrb amut alod awbl expo agan hflp vflp ahue cagc ckil cofx abrt
        bstp rota bgco cgan ilm1 ilm2 mbfc mbfo alph cfxc cfxr xpam dyfr panr tilr fcrl
        afcs zmrl priv irrl xpbi wbpr wdrg stab isos isoa xpmt scen afrg pnsp tlsp ornt
        srot flmd flss fltm flin fltr flid jcss jrst jqal vbln hbln agai lnkf tpat dint
        dgan mdmd
        )
        live=("${linux_codes[@]}")
      fi
      _camknob_offer "${table[@]}" "${live[@]}"
      ;;
    --enabled)
      _camknob_offer on off true false yes no 1 0
      ;;
    '')
      local -a missing=()
      for word in "${options[@]}"; do
        [[ -n ${given[$word]-} ]] || missing+=("$word")
      done
      if [[ -n $profile && $_cur_text != -* ]]; then
        if [[ -z $has_file && $command == apply ]]; then
          _camknob_files json
        elif [[ -z $has_file ]]; then
          _camknob_files
        elif [[ -z $_cur_text ]]; then
          _camknob_offer "${missing[@]}"
        fi
      elif [[ -z $_cur_text || $_cur_text == -* ]]; then
        _camknob_offer "${missing[@]}"
      fi
      ;;
  esac
  return 0
}

complete -F _camknob camknob camknob-sim camknob-profile camknob-profile-sim camknobd camknobd-sim
