#!/usr/bin/env bash
# scripts/compliance with a log left by an earlier run at the log path: when the lab does not
# start (a station that does not exist, a relative topology that does not resolve, a misspelt
# fault name) it never prints that log's verdict, the real error reaches the screen and the
# old log is gone; a run that works prints its own verdict.
#   compliance_script_e2e.sh <source folder> <build's bin folder> <sample DAT file>
set -uo pipefail
root="$1"
export ZAM_BIN="$2"
sample_dat="$3"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

stations="$root/zamsim/stations"
# Relative topology beside a station file that lies elsewhere.
cp "$stations/default.station" "$tmp/relative.station"
# A fault name that is not one.
sed "s|^Topology = default.test|Topology = $stations/default.test|; s/^\[DUT\]$/[DUT]\nFault = no-replay-on-nack/" \
  "$stations/default.station" > "$tmp/misspelt.station"

stale='<ASSERTTAG assertion = "DLL.5.2#1.0" status = "SUCCESS">
ReXmitOnNAK - PASS
</ASSERTTAG>'

# station | exit | what the screen must show
cases=(
  "$tmp/missing.station|2|compliance: the station file $tmp/missing.station does not exist (or is not a file)"
  "$tmp/relative.station|1|Unable to open script file $tmp/default.test"
  "$tmp/misspelt.station|1|[DUT] Fault: unknown fault \"no-replay-on-nack\""
)
for entry in "${cases[@]}"; do
  IFS='|' read -r station want_code want_text <<<"$entry"
  log="$tmp/run.xml"
  printf '%s\n' "$stale" > "$log"
  echo "earlier output" > "$log.out"
  out="$(ZAM_NO_BUILD=1 ZAM_STATION="$station" bash "$root/scripts/compliance" ReXmitOnNak_EP_USW \
    "$sample_dat" "$log" 2>&1)"
  code=$?
  [[ $code == "$want_code" ]] || fail "$station: exit $code, want $want_code: $out"
  [[ $out == *"$want_text"* ]] || fail "$station: the error does not reach the screen: $out"
  [[ $out != *"SUCCESS"* && $out != *"earlier output"* ]] || fail "$station: the earlier run's log was read: $out"
  [[ ! -e $log ]] || fail "$station: the earlier run's log is still there"
done

log="$tmp/good.xml"
printf '%s\n' "${stale/SUCCESS/FAILED}" > "$log"
out="$(ZAM_NO_BUILD=1 ZAM_STATION="$stations/default.station" bash "$root/scripts/compliance" ReXmitOnNak_EP_USW \
  "$sample_dat" "$log" 2>&1)"
code=$?
[[ $code == 0 && $out =~ ReXmitOnNak_EP_USW\ +exit\ +0\ +SUCCESS: ]] || fail "a run on the default station: exit $code: $out"

if (( failures )); then echo "$failures check(s) failed"; exit 1; fi
echo "all checks passed"
