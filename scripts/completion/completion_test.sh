#!/usr/bin/env bash
# The bash completions of zamsim and zamsuite: each file sourced after bash-completion, its
# function called on a command line as bash would call it, and the candidates compared.
# Usage: completion_test.sh COMPLETION_FOLDER ZAMSUITE_PROGRAM
set -uo pipefail
folder=$1
zamsuite=$(readlink -f "$2")
helpers=/usr/share/bash-completion/bash_completion
if [ ! -r "$helpers" ]; then
  echo "bash-completion is not installed ($helpers): skipped"
  exit 77
fi
# shellcheck source=/dev/null
source "$helpers"
source "$folder/zamsim"
source "$folder/zamsuite"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
touch a.station b.station notes.txt x.dat
mkdir sub

failures=0
# expect "WORDS..." EXPECTED: completes the last word of the line (the cursor at its end);
# EXPECTED lists the candidates sorted, separated by blanks.
expect() {
  local line=$1 expected=$2 function
  read -r -a COMP_WORDS <<<"$line"
  [[ $line == *' ' ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE=$line
  COMP_POINT=${#line}
  COMPREPLY=()
  case ${COMP_WORDS[0]} in
    *zamsuite) function=_zamsuite ;;
    *) function=_zamsim ;;
  esac
  "$function" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}" 2>/dev/null
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | LC_ALL=C sort | tr '\n' ' ')
  got=${got% }
  if [[ $got != "$expected" ]]; then
    echo "FAIL: '$line' gave '$got', expected '$expected'"
    failures=$((failures + 1))
  fi
}

expect 'zamsim ' '--help --version power-cycle-card run show start status stop'
expect 'zamsim st' 'start status stop'
expect 'zamsim start ' 'a.station b.station sub'
expect 'zamsim start a.station --' '--foreground --socket'
expect 'zamsim start --socket ' 'a.station b.station notes.txt sub x.dat'
expect 'zamsim start --socket lab.sock ' 'a.station b.station sub'
expect 'zamsim stop --' '--socket'
expect 'zamsim stop --f' ''
expect 'zamsim run ' 'a.station b.station sub'
expect 'zamsim run a.station ' '-- --socket'
# After -- the command's own completion: here zamsim itself.
expect 'zamsim run a.station -- zamsim st' 'start status stop'
expect 'zamsim bogus ' ''

Z=$zamsuite
expect "$Z --st" '--station'
expect "$Z --ver" '--version'
expect "$Z --station " 'a.station b.station sub'
expect "$Z -d " 'sub x.dat'
expect "$Z --dat " 'sub x.dat'
expect "$Z --out " 'sub'
expect "$Z --timeout " ''
expect "$Z --only Bad" 'BadLCRC_EP_USW'
expect "$Z --only BadLCRC_EP_USW,ReplayT" 'BadLCRC_EP_USW,ReplayTLPOrder_EP_USW BadLCRC_EP_USW,ReplayTimerTest_EP_USW'
expect "$Z -d x.dat --skip TXN_BFT_N" 'TXN_BFT_NegotiatedLinkWidth'
# Every program zamsuite names is offered, and nothing else.
expect "$Z --only " "$("$zamsuite" --list | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')"

if ((failures > 0)); then
  echo "$failures completion case(s) failed"
  exit 1
fi
echo ok
