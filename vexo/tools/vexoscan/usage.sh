#!/usr/bin/env bash
# vexoscan's help, argument errors, settings and DAT files it cannot use, a library that is
# not there, and the default library found through a symbolic link.
set -uo pipefail
vexoscan=$1
fail() { echo "FAIL: $*"; exit 1; }
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
unset ZAMSIM_SOCKET

out=$("$vexoscan" --help); code=$?
[ $code -eq 0 ] || fail "--help exit $code"
grep -q '^Usage: vexoscan' <<<"$out" || fail "--help text"

err=$("$vexoscan" --bogus 2>&1 >/dev/null); code=$?
[ $code -eq 2 ] || fail "unknown argument exit $code"
grep -qx "vexoscan: unknown argument '--bogus'" <<<"$err" || fail "unknown argument text: $err"

# --version may stand among other options; a wrong one beside it is still refused.
out=$("$vexoscan" --version --dat /nonexistent.dat); code=$?
[ $code -eq 0 ] || fail "--version beside --dat exit $code"
grep -qx 'vexoscan (ZAM PCI Express test suite) [0-9][0-9.]*' <<<"$out" || fail "--version text: $out"
"$vexoscan" --version --bogus >/dev/null 2>&1; code=$?
[ $code -eq 2 ] || fail "--version --bogus exit $code"

err=$("$vexoscan" --library 2>&1 >/dev/null); code=$?
[ $code -eq 2 ] || fail "missing value exit $code"

err=$("$vexoscan" --library /nonexistent/Pellor.dll 2>&1 >/dev/null); code=$?
[ $code -eq 1 ] || fail "missing library exit $code"
grep -qx 'Failed to open DLL file /nonexistent/Pellor.dll. Exiting.' <<<"$err" || fail "text: $err"
grep -q '^vexoscan: the framework did not open: 0x80000006 VEXO :: STATUS FAILED$' <<<"$err" \
  || fail "status text: $err"
# A lab socket that nobody serves: the device layer says so once, naming the socket.
err=$(ZAMSIM_SOCKET=/nonexistent/zamsim.sock "$vexoscan" 2>&1 >/dev/null); code=$?
[ $code -eq 1 ] || fail "missing lab exit $code"
[ "$(grep -c '^cannot reach the lab' <<<"$err")" -eq 1 ] || fail "lab message count: $err"
grep -qx 'cannot reach the lab at ZAMSIM_SOCKET=/nonexistent/zamsim.sock: No such file or directory' <<<"$err" \
  || fail "lab message: $err"
# Started through a link in another folder, it still finds Pellor beside the real program.
ln -s "$(readlink -f "$vexoscan")" "$work/vexoscan-link"
err=$("$work/vexoscan-link" 2>&1 >/dev/null); code=$?
[ $code -eq 0 ] || fail "through a link exit $code: $err"
grep -q 'Failed to open DLL' <<<"$err" && fail "through a link: $err"

# A settings file without the library's name: the file and the missing key are named.
printf '[DLL]\nOther=1\n' > "$work/nokey.ini"
err=$("$vexoscan" --ini "$work/nokey.ini" 2>&1 >/dev/null); code=$?
[ $code -eq 1 ] || fail "no DLLName exit $code"
[ "$err" = "vexoscan: the settings file $work/nokey.ini names no driver library: section [DLL] has no DLLName key" ] \
  || fail "no DLLName text: $err"
printf '[DLL]\nDLLName=\n' > "$work/empty.ini"
err=$("$vexoscan" --ini "$work/empty.ini" 2>&1 >/dev/null); code=$?
[ $code -eq 1 ] || fail "empty DLLName exit $code"
[ "$err" = "vexoscan: the settings file $work/empty.ini names no driver library: section [DLL] has an empty DLLName key" ] \
  || fail "empty DLLName text: $err"
err=$("$vexoscan" --ini "$work/none.ini" 2>&1 >/dev/null); code=$?
[ $code -eq 2 ] || fail "missing settings file exit $code"
[ "$err" = "vexoscan: the settings file $work/none.ini cannot be read" ] || fail "missing settings text: $err"

# DAT values that cannot select a function are warned about, each one; the reader's values
# are still shown as read.
cat > "$work/odd.dat" <<'DAT'
<VexoDat>
  <DUT bus="300" device="40" function="9"/>
  <DUT bus="3"/>
  <DUT vendorid="8086" deviceid="10D3"/>
</VexoDat>
DAT
"$vexoscan" --dat "$work/odd.dat" >"$work/out" 2>"$work/err"; code=$?
[ $code -eq 3 ] || fail "odd DAT exit $code"
expected='vexoscan: warning: DAT file: <DUT bus="300"> does not fit its field and was cut, taken as 44
vexoscan: warning: DUT entry 0: bus 300 is out of range (0-255)
vexoscan: warning: DUT entry 0: device 40 is out of range (0-31)
vexoscan: warning: DUT entry 0: function 9 is out of range (0-7)
vexoscan: warning: DUT entry 1: device is not set
vexoscan: warning: DUT entry 1: function is not set'
[ "$(grep '^vexoscan: warning' "$work/err")" = "$expected" ] || fail "DAT warnings: $(cat "$work/err")"
grep -qx 'DUT entry 0: flags 0x1000 ids ffff:ffff bdf 44:40.9' "$work/out" || fail "DAT summary: $(cat "$work/out")"
echo ok
