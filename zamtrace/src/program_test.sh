#!/usr/bin/env bash
# zamtrace's listings of raw traces and XML logs, and its exit statuses: 0 decoded, 1 with
# records that are not valid, 2 for a wrong command line or an input that is not a trace.
set -uo pipefail
zamtrace=$1
fail() { echo "FAIL: $*"; exit 1; }
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT

# A CfgRd0 sent downstream at 1500 ns and the device's Ack at 1600 ns.
printf '\xf1\x18\x03\x00\xdc\x05\x00\x00\x04\x00\x00\x01\x00\x00\x07\x0f\x03\x00\x00\x00' > "$work/good.trace"
printf '\xf1\x0b\x02\x00\x40\x06\x00\x00\x00\x00\x00\x00\x07\xd4\x20\x00' >> "$work/good.trace"
expected=' index      time ns dir  type                       fields [marks]
     0         1500 down CfgRd0                     requester 00:00.0 completer 03:00.0 tag 7 register 0x000 length 1 be F/0
     1         1600 up   Ack                        seq 7'
out=$("$zamtrace" "$work/good.trace" 2>"$work/err"); code=$?
[ $code -eq 0 ] && [ ! -s "$work/err" ] || fail "good trace: exit $code, $(cat "$work/err")"
[ "$out" = "$expected" ] || fail "good trace listing: $out"

# The same bytes as a program's XML log dumps them.
{
  printf '<?xml version="1.0"?>\n\n<INFO> <ActionCount> 0\n</ActionCount>\n</INFO>\n <INFO> <TBContents>\n'
  printf '<NumBytes> 36 </NumBytes> \n<TBData>\n'
  printf '0x000318f1\n0x000005dc\n0x01000004\n0x0f070000\n0x00000003\n0x00020bf1\n0x00000640\n0x00000000\n0x0020d407\n'
  printf '</TBData>\n</TBContents></INFO>\n'
} > "$work/program.xml"
out=$("$zamtrace" "$work/program.xml" 2>"$work/err"); code=$?
[ $code -eq 0 ] && [ ! -s "$work/err" ] || fail "XML log: exit $code, $(cat "$work/err")"
[ "$out" = "$expected" ] || fail "XML log listing: $out"

# Two dumps in one log: the last by default, --dump 1 the first (here its first record alone).
{
  cat "$work/program.xml"
  printf '<INFO> <TBContents>\n<NumBytes> 20 </NumBytes> \n<TBData>\n'
  printf '0x000318f1\n0x000005dc\n0x01000004\n0x0f070000\n0x00000003\n</TBData>\n</TBContents></INFO>\n'
} > "$work/two.xml"
out=$("$zamtrace" "$work/two.xml"); code=$?
[ $code -eq 0 ] && [ "$out" = "$(printf '%s\n' "$expected" | head -n 2)" ] || fail "last dump: $code $out"
out=$("$zamtrace" --dump 1 "$work/two.xml"); code=$?
[ $code -eq 0 ] && [ "$out" = "$expected" ] || fail "--dump 1: $code $out"

out=$("$zamtrace" --json "$work/good.trace"); code=$?
[ $code -eq 0 ] || fail "--json exit $code"
[[ "$out" == '['*'"type": "CfgRd0"'*'"type": "Ack"'*']' ]] || fail "--json: $out"
out=$("$zamtrace" --csv "$work/program.xml"); code=$?
[ $code -eq 0 ] || fail "--csv exit $code"
[ "$(printf '%s\n' "$out" | wc -l)" -eq 3 ] || fail "--csv rows: $out"

# A record the decoder cannot read: listed, and exit 1.
cp "$work/good.trace" "$work/bad.trace"
printf '\xf1\x06\x00\x00\x00\x00\x00\x00\x00\x01' >> "$work/bad.trace"
out=$("$zamtrace" "$work/bad.trace" 2>"$work/err"); code=$?
[ $code -eq 1 ] || fail "invalid records: exit $code"
[[ "$out" == *'     2            - -    invalid                    record kind 6 is not valid: f1 06 00 00 00 00 00 00'* ]] \
  || fail "kind 6 listing: $out"
[[ "$out" == *'     3            - -    invalid                    no record marker: byte 0x00, the walk ends here (2 bytes left): 00 01' ]] \
  || fail "stray bytes listing: $out"

# An XML log whose dump was cut short: what is there, the problem on stderr, exit 1.
head -c 200 "$work/program.xml" > "$work/cut.xml"
out=$("$zamtrace" "$work/cut.xml" 2>"$work/err"); code=$?
[ $code -eq 1 ] || fail "cut log: exit $code"
[ "$(cat "$work/err")" = "zamtrace: $work/cut.xml: trace dump cut short" ] || fail "cut log message: $(cat "$work/err")"

# Empty raw trace: nothing recorded, nothing wrong.
: > "$work/empty.trace"
out=$("$zamtrace" "$work/empty.trace"); code=$?
[ $code -eq 0 ] && [ "$out" = ' index      time ns dir  type                       fields [marks]' ] || fail "empty: $code $out"

check_error() {  # expected exit, expected stderr first line, arguments...
  local want=$1 message=$2; shift 2
  out=$("$zamtrace" "$@" 2>"$work/err"); code=$?
  [ $code -eq "$want" ] || fail "$*: exit $code"
  [ -z "$out" ] || fail "$*: printed $out"
  [ "$(head -n1 "$work/err")" = "$message" ] || fail "$*: $(head -n1 "$work/err")"
}
check_error 2 "usage: zamtrace [--csv | --json] [--dump N] FILE"
check_error 2 "zamtrace: cannot read $work/none: No such file or directory" "$work/none"
check_error 2 "zamtrace: cannot read $work: not a regular file" "$work"
printf 'hello' > "$work/text.txt"
check_error 2 "zamtrace: $work/text.txt: not a trace (neither a record marker 0xF1 at its start nor an XML log's trace dump)" "$work/text.txt"
printf '<?xml version="1.0"?>\n<ASSERTTAG>\n' > "$work/nodump.xml"
check_error 2 "zamtrace: $work/nodump.xml: an XML log without a trace dump (no <TBContents>)" "$work/nodump.xml"
check_error 2 "zamtrace: $work/program.xml: the log holds 1 trace dump(s), not 2" --dump 2 "$work/program.xml"
check_error 2 "zamtrace: --csv and --json exclude each other" --csv --json "$work/good.trace"
check_error 2 "zamtrace: unknown option --bogus" --bogus "$work/good.trace"
check_error 2 "zamtrace: one trace at a time" "$work/good.trace" "$work/good.trace"
check_error 2 "zamtrace: --dump wants a dump number from 1" --dump 0 "$work/program.xml"
check_error 2 "zamtrace: --card or a FILE, not both" --card "$work/good.trace"

# A listing that cannot be written is an error, not a listing.
if [ -w /dev/full ]; then
  "$zamtrace" "$work/good.trace" > /dev/full 2>"$work/err"; code=$?
  [ $code -eq 2 ] && [ "$(cat "$work/err")" = "zamtrace: cannot write the listing: No space left on device" ] ||
    fail "/dev/full: exit $code, $(cat "$work/err")"
fi

out=$("$zamtrace" --help 2>"$work/err"); code=$?
[ $code -eq 0 ] && [ ! -s "$work/err" ] && [[ "$out" == usage:* ]] || fail "--help: $code $out"
[ "$("$zamtrace" --version)" = "zamtrace (ZAM PCI Express test suite) 0.1" ] || fail "--version"
echo OK
