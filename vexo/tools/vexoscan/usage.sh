#!/usr/bin/env bash
# vexoscan's help, argument errors and a library that is not there.
set -uo pipefail
vexoscan=$1
fail() { echo "FAIL: $*"; exit 1; }

out=$("$vexoscan" --help); code=$?
[ $code -eq 0 ] || fail "--help exit $code"
echo "$out" | grep -q '^Usage: vexoscan' || fail "--help text"

err=$("$vexoscan" --bogus 2>&1 >/dev/null); code=$?
[ $code -eq 2 ] || fail "unknown argument exit $code"
echo "$err" | grep -qx "vexoscan: unknown argument '--bogus'" || fail "unknown argument text: $err"

err=$("$vexoscan" --library 2>&1 >/dev/null); code=$?
[ $code -eq 2 ] || fail "missing value exit $code"

err=$("$vexoscan" --library /nonexistent/Pellor.dll 2>&1 >/dev/null); code=$?
[ $code -eq 1 ] || fail "missing library exit $code"
echo "$err" | grep -qx 'Failed to open DLL file /nonexistent/Pellor.dll. Exiting.' || fail "text: $err"
echo "$err" | grep -q '^vexoscan: the framework did not open: 0x80000006 VEXO :: STATUS FAILED$' \
  || fail "status text: $err"
# A lab socket that nobody serves: the device layer says so once, naming the socket.
err=$(ZAMSIM_SOCKET=/nonexistent/zamsim.sock "$vexoscan" 2>&1 >/dev/null); code=$?
[ $code -eq 1 ] || fail "missing lab exit $code"
[ "$(echo "$err" | grep -c '^cannot reach the lab')" -eq 1 ] || fail "lab message count: $err"
echo "$err" | grep -qx 'cannot reach the lab at ZAMSIM_SOCKET=/nonexistent/zamsim.sock: No such file or directory' \
  || fail "lab message: $err"
echo ok
