#!/usr/bin/env bash
# vexoscan --dump and --write-dump: each malformed dump ends the run with its message (file
# and line) and exit 2 before the framework opens; a dump that cannot be written is exit 2;
# the options' argument errors; a written dump replays to the same listing.
set -uo pipefail
vexoscan=$1
fail() { echo "FAIL: $*"; exit 1; }
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
unset ZAMSIM_SOCKET ZAM_CONFIG_DUMP

zeros="00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
bridge="00: 86 80 38 7a 06 01 10 00 00 00 04 06 00 00 01 00"

# name | dump text (printf format) | message after "vexoscan: the dump FILE cannot be used: "
cases=(
  "garbage|00:00.0 Bridge\n$bridge\nlspci: Unable to load libkmod resources\n|line 3: neither a function's header line (BB:DD.F ...) nor a line of configuration bytes (offset: 16 hex bytes): 'lspci: Unable to load libkmod resources'"
  "bad offset|00:00.0 Bridge\n$bridge\n18: $zeros\n|line 3: offset 0x18 is not a multiple of 0x10"
  "offset past 4 KiB|00:00.0 Bridge\n$bridge\n1000: $zeros\n|line 3: offset 0x1000 lies past the 4096 bytes of configuration space"
  "falling offsets|00:00.0 Bridge\n$bridge\n20: $zeros\n10: $zeros\n|line 4: offset 0x10 comes after 0x20 (offsets rise within a function)"
  "odd byte count|00:00.0 Bridge\n$bridge\n10: 00 00 00 00 00 00 00\n|line 3: 7 bytes where a line holds 16"
  "repeated function|00:00.0 Bridge\n$bridge\n\n01:00.0 x\n00: $zeros\n\n00:00.0 again\n00: $zeros\n|line 7: function 00:00.0 appears a second time (first on line 1)"
  "bytes before a header|$bridge\n|line 1: configuration bytes before the first function's header line (BB:DD.F ...)"
  "no function|\n\n|no function's header line (BB:DD.F ...) in the dump"
)
for entry in "${cases[@]}"; do
  IFS='|' read -r name text message <<<"$entry"
  printf "$text" > "$work/case.txt"
  err=$("$vexoscan" --dump "$work/case.txt" 2>&1 >/dev/null); code=$?
  [ $code -eq 2 ] || fail "$name: exit $code ($err)"
  [ "$err" = "vexoscan: the dump $work/case.txt cannot be used: $message" ] || fail "$name: $err"
done

# Files the reader refuses before reading them.
truncate -s $((64 * 1024 * 1024 + 1)) "$work/huge.txt"
for entry in "huge.txt|larger than 67108864 bytes" "missing.txt|No such file or directory" ".|not a regular file"; do
  IFS='|' read -r name message <<<"$entry"
  err=$("$vexoscan" --dump "$work/$name" 2>&1 >/dev/null); code=$?
  [ $code -eq 2 ] || fail "$name: exit $code ($err)"
  [ "$err" = "vexoscan: the dump $work/$name cannot be used: $message" ] || fail "$name: $err"
done

for option in --dump --write-dump; do
  err=$("$vexoscan" $option 2>&1 >/dev/null); code=$?
  [ $code -eq 2 ] || fail "$option without a value: exit $code"
  [ "$(echo "$err" | head -1)" = "vexoscan: $option needs a value" ] || fail "$option without a value: $err"
done
err=$("$vexoscan" --write-dump "$work/out.txt" --dat "$work/x.dat" 2>&1 >/dev/null); code=$?
[ $code -eq 2 ] || fail "--write-dump with --dat: exit $code"
[ "$(echo "$err" | head -1)" = "vexoscan: --write-dump writes the whole scan: give it without --dat" ] \
  || fail "--write-dump with --dat: $err"

# A small machine: a root port with an endpoint below it, and a second function on another
# domain, which is named on standard error and not listed.
cat > "$work/small.txt" <<DUMP
00:00.0 0604: 8086:7a38
00: 86 80 38 7a 06 01 10 00 00 00 04 06 00 00 01 00
10: 00 00 00 00 00 00 00 00 00 01 01 00 f0 00 00 00
20: 20 80 20 80 31 80 31 80 00 00 00 00 00 00 00 00
30: 00 00 00 00 40 00 00 00 00 00 00 00 00 00 02 00
40: 10 00 42 01 00 00 00 00 00 00 00 00 00 00 00 00
50: $zeros
60: $zeros

01:00.0 0200: abcd:0020
00: cd ab 20 00 06 00 10 00 01 00 00 02 00 00 00 00
30: 00 00 00 00 40 00 00 00 00 00 00 00 00 00 00 00
40: 10 00 02 00 00 00 00 00 00 00 00 00 00 00 00 00
50: $zeros
60: $zeros

0001:00:00.0 0200: 1234:5678
00: 34 12 78 56 00 00 00 00 00 00 00 00 00 00 00 00
DUMP
"$vexoscan" --dump "$work/small.txt" >"$work/out" 2>"$work/err"; code=$?
[ $code -eq 0 ] || fail "small dump: exit $code $(cat "$work/err")"
expected="BDF      IDS        HDR  PORT                PARENT   CAPABILITIES
00:00.0  8086:7a38  01   root-port           -        0x40:10(36) [cannot read 0x100]
01:00.0  abcd:0020  00   endpoint            00:00.0  0x40:10(36) [cannot read 0x100]
2 function(s)"
[ "$(sed -n '/^BDF /,$p' "$work/out")" = "$expected" ] || fail "small dump listing: $(cat "$work/out")"
grep -qx "the configuration dump $work/small.txt: 1 function(s) outside domain 0000 are not served (the configuration-space driver reaches domain 0000 only): 0001:00:00.0 (line 17)" "$work/err" \
  || fail "other domain: $(cat "$work/err")"

# Written and read back: the same listing; a dump that cannot be written is exit 2.
"$vexoscan" --dump "$work/small.txt" --write-dump "$work/again.txt" >"$work/out2" 2>/dev/null; code=$?
[ $code -eq 0 ] || fail "write-dump exit $code"
[ "$(head -2 "$work/again.txt")" = "00:00.0 0604: 8086:7a38
00: 86 80 38 7a 06 01 10 00 00 00 04 06 00 00 01 00" ] || fail "written dump: $(head -3 "$work/again.txt")"
"$vexoscan" --dump "$work/again.txt" >"$work/out3" 2>/dev/null
[ "$(sed -n '/^BDF /,$p' "$work/out3")" = "$expected" ] || fail "written dump replayed: $(cat "$work/out3")"
err=$("$vexoscan" --dump "$work/small.txt" --write-dump "$work/no/such/folder/d.txt" 2>&1 >/dev/null); code=$?
[ $code -eq 2 ] || fail "unwritable dump: exit $code"
grep -qx "vexoscan: the dump $work/no/such/folder/d.txt cannot be written: No such file or directory" <<<"$err" \
  || fail "unwritable dump: $err"
echo ok
