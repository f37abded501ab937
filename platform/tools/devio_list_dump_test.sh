#!/usr/bin/env bash
# devio-list --dump: the functions of a dump as the configuration-space driver reads them,
# those of other domains listed as not served, a malformed dump's message and exit 2.
set -uo pipefail
devio_list=$1
fail() { echo "FAIL: $*"; exit 1; }
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
unset ZAM_CONFIG_DUMP

cat > "$work/dump.txt" <<'DUMP'
00:00.0 Host bridge: Intel Corporation Device 0d57
00: 86 80 57 0d 00 00 00 00 00 00 00 06 00 00 00 00
10: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00
20: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00
30: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00

00:1f.3 Audio device: Intel Corporation Device 7a50 (rev 11)
00: 86 80 50 7a 06 04 10 00 11 00 03 04 10 00 80 00

0001:00:00.0 Non-Volatile memory controller
00: 4d 14 0a a8 06 04 10 00 00 02 08 01 00 00 00 00
DUMP
# A lab named at the same time is left out: the dump is the machine.
out=$(ZAMSIM_SOCKET=$work/none.sock "$devio_list" --dump "$work/dump.txt" 2>"$work/err"); code=$?
[ $code -eq 0 ] || fail "exit $code: $(cat "$work/err")"
expected="provider dump, interface dump:pci-config
00:00.0  8086:0d57  class 060000  header type 00
00:1f.3  8086:7a50  class 040300  header type 80
2 functions
0001:00:00.0  144d:a80a  class 010802  header type 00  not served: domain 0001
1 functions outside domain 0000, not served"
[ "$out" = "$expected" ] || fail "listing: $out"
[ "$(cat "$work/err")" = "the configuration dump $work/dump.txt: 1 function(s) outside domain 0000 are not served (the configuration-space driver reaches domain 0000 only): 0001:00:00.0 (line 10)" ] \
  || fail "domain notice: $(cat "$work/err")"

# The same through the environment.
out=$(ZAM_CONFIG_DUMP=$work/dump.txt "$devio_list" 2>/dev/null); code=$?
[ $code -eq 0 ] || fail "environment exit $code"
[ "$(echo "$out" | sed -n 4p)" = "2 functions" ] || fail "environment listing: $out"

printf '00:00.0\n00: 86 80\n' > "$work/short.txt"
err=$("$devio_list" --dump "$work/short.txt" 2>&1 >/dev/null); code=$?
[ $code -eq 2 ] || fail "malformed exit $code"
[ "$err" = "devio-list: the dump $work/short.txt cannot be used: line 2: 2 bytes where a line holds 16" ] || fail "malformed: $err"
# Through the environment the provider says why and the program finds no driver.
err=$(ZAM_CONFIG_DUMP=$work/short.txt "$devio_list" 2>&1 >/dev/null); code=$?
[ $code -eq 1 ] || fail "malformed by environment exit $code"
[ "$err" = "the configuration dump $work/short.txt cannot be used: line 2: 2 bytes where a line holds 16
devio-list: no configuration-space driver available" ] || fail "malformed by environment: $err"

err=$("$devio_list" --dump 2>&1 >/dev/null); code=$?
[ $code -eq 2 ] || fail "no value exit $code"
[ "$(echo "$err" | head -1)" = "devio-list: --dump needs a value" ] || fail "no value: $err"
echo ok
