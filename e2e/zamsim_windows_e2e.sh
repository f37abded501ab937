#!/usr/bin/env bash
# zamsim.exe under wine as the lab: started detached on tcp:127.0.0.1:0, it answers status,
# serves a compliance program (the default station, its compliant DUT: exit 0 and a passing
# log) and a firmware catalogue case on the sut station (fwtool and zamlib, the manifest's
# verdict), and is gone after stop. The programs are the Linux build's; they reach the lab
# over TCP with the secret the daemon wrote inside wine's drive C:.
# Usage: zamsim_windows_e2e.sh WINDOWS_BIN LINUX_BIN SOURCE_DIR SAMPLE_DAT
# Exits 77 (skipped) without wine, zamsim.exe or the Linux programs.
set -uo pipefail
win_bin=$1 linux_bin=$2 src=$3 dat=$4
export WINEDEBUG=-all
export ZAM_TIME_SCALE=${ZAM_TIME_SCALE:-0.01}

command -v wine >/dev/null || { echo "skipped: no wine"; exit 77; }
[[ -f $win_bin/zamsim.exe ]] || { echo "skipped: no $win_bin/zamsim.exe"; exit 77; }
for program in ReXmitOnNak_EP_USW fwtool libzamlib.so; do
  [[ -e $linux_bin/$program ]] || { echo "skipped: no $linux_bin/$program (build the default preset)"; exit 77; }
done
[[ -f $dat ]] || { echo "skipped: no $dat"; exit 77; }
abs() { (cd "$(dirname "$1")" && echo "$PWD/$(basename "$1")"); }
win_bin=$(abs "$win_bin") linux_bin=$(abs "$linux_bin") src=$(cd "$src" && pwd) dat=$(abs "$dat")
export WINEPREFIX=${WINEPREFIX:-$src/build/wineprefix64}
mkdir -p "$WINEPREFIX"

bench=$(mktemp -d)
chmod 700 "$bench"
failures=0
address=""
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
zamsim() { (cd "$win_bin" && timeout 120 wine zamsim.exe "$@"); }
cleanup() {
  [[ -n $address ]] && zamsim stop --socket "$address" >/dev/null 2>&1
  rm -rf "$bench"
}
trap cleanup EXIT

# Starts the lab on any free port; sets address and secret (a Linux path).
start_lab() {  # station
  # Its output to a file: under wine the daemon holds on to its starter's standard output,
  # and a pipe there would not end while the lab runs.
  zamsim start "$1" --socket tcp:127.0.0.1:0 >"$bench/start.out" 2>&1
  local code=$?
  local out
  out=$(cat "$bench/start.out")
  echo "$out"
  [[ $code == 0 ]] || { fail "zamsim.exe start $1: exit $code"; return 1; }
  address=$(sed -n 's/.*listening on \(tcp:127\.0\.0\.1:[0-9]*\),.*/\1/p' <<<"$out" | tr -d '\r')
  local windows_secret
  windows_secret=$(sed -n 's/.*secret in \(.*\), log .*/\1/p' <<<"$out" | tr -d '\r')
  [[ -n $address && -n $windows_secret ]] || { fail "start did not say where it listens: $out"; return 1; }
  secret=$(wine winepath -u "$windows_secret" 2>/dev/null | tr -d '\r')
  [[ -f $secret ]] || { fail "no secret file $secret ($windows_secret)"; return 1; }
}

stop_lab() {
  local out
  out=$(zamsim stop --socket "$address" 2>&1) || fail "zamsim.exe stop: $out"
  # Gone: no lab answers there any more.
  out=$(zamsim status --socket "$address" 2>&1)
  local code=$?
  [[ $code == 1 ]] || fail "status after stop: exit $code, want 1: $out"
  address=""
}

# 1. A compliance program on the default station.
if start_lab stations/default.station; then
  out=$(zamsim status --socket "$address" 2>&1)
  code=$?
  [[ $code == 0 && $out == *"zamsim pid "* ]] || fail "zamsim.exe status: exit $code: $out"
  log="$bench/rexmit.xml"
  (cd "$linux_bin" && ZAMSIM_SOCKET="$address" ZAMSIM_SECRET="$secret" ZAM_OPERATOR=lab \
    timeout 300 ./ReXmitOnNak_EP_USW -d "$dat" -l "$log" >"$bench/rexmit.out" 2>&1)
  code=$?
  [[ $code == 0 ]] || fail "ReXmitOnNak_EP_USW on zamsim.exe: exit $code: $(tail -5 "$bench/rexmit.out")"
  grep -q 'status = "SUCCESS"' "$log" 2>/dev/null || fail "ReXmitOnNak_EP_USW: no passing assertion in $log"
  ! grep -q 'status = "FAILED"' "$log" 2>/dev/null || fail "ReXmitOnNak_EP_USW: a failed assertion in $log"
  for command in show power-cycle-card; do
    out=$(zamsim "$command" --socket "$address" 2>&1)
    code=$?
    [[ $code == 0 && -n $out ]] || fail "zamsim.exe $command: exit $code: $out"
  done
  stop_lab
fi

# 2. A firmware catalogue case on the sut station.
mkdir -p "$bench/ini"
cp -r "$src/fwtool/Tests" "$bench/"
cp "$linux_bin/libzamlib.so" "$bench/"
cat > "$bench/ini/ORVENapp.ini" <<INI
[DLL]
DLLName = zamlib.dll
[TimingParameters]
DriverInitTimeout = 3000
FirstRequestTimeout = 3000
TrafficStopTimeout = 500
[CustomOptions]
AutomateRunAll = 1
PromptUserToPowerSystem = 0
INI
if start_lab stations/sut.station; then
  case_script=LegacyTestCases/Case_2_2_Simple.test
  want=$(sed -n "s|^$case_script: \([A-Za-z]*\).*|\1|p" "$src/fwtool/Tests/expected.txt")
  [[ $want == Passed ]] || fail "the manifest gives $case_script as '$want'"
  (cd "$bench" && ZAMSIM_SOCKET="$address" ZAMSIM_SECRET="$secret" ZAM_OPERATOR=lab \
    timeout 120 "$linux_bin/fwtool" "Tests/$case_script" >"$bench/fwtool.out" 2>&1)
  code=$?
  [[ $code == 0 ]] || fail "fwtool $case_script on zamsim.exe: exit $code, want 0 ($want): $(tail -5 "$bench/fwtool.out")"
  stop_lab
fi

if [[ $failures -gt 0 ]]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "zamsim.exe served a compliance program and a firmware case"
