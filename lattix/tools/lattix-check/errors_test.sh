#!/usr/bin/env bash
# lattix-check's exit codes and messages: usage, paths that are not readable regular files,
# a script that does not parse (its garbage shown escaped) or describes nothing, and one
# whose capabilities could not all be placed.
set -uo pipefail
check=$1
fail() { echo "FAIL: $*"; exit 1; }
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT

"$check" >/dev/null 2>&1; code=$?
[ $code -eq 2 ] || fail "no argument exit $code"

# --help alone is answered on standard output; beside a script it is a wrong command line.
out=$("$check" --help 2>"$work/err"); code=$?
[ $code -eq 0 ] || fail "--help exit $code"
[ "$out" = "usage: lattix-check <script>" ] && [ ! -s "$work/err" ] || fail "--help text: $out"
out=$("$check" --help "$work/x.test" 2>"$work/err"); code=$?
[ $code -eq 2 ] && [ -z "$out" ] || fail "--help beside a script: exit $code, $out"
[ "$(cat "$work/err")" = "usage: lattix-check <script>" ] || fail "--help beside a script: $(cat "$work/err")"

out=$("$check" "$work" 2>"$work/err"); code=$?
[ $code -eq 1 ] || fail "folder exit $code"
[ -z "$out" ] || fail "folder printed: $out"
[ "$(cat "$work/err")" = "lattix-check: cannot read $work: not a regular file" ] || fail "folder text: $(cat "$work/err")"

# A device is not read at all (it would never end).
ln -s /dev/zero "$work/zero.test"
out=$(timeout 20 "$check" "$work/zero.test" 2>"$work/err"); code=$?
[ $code -eq 1 ] || fail "device exit $code"
[ "$(cat "$work/err")" = "lattix-check: cannot read $work/zero.test: not a regular file" ] || fail "device text: $(cat "$work/err")"

"$check" "$work/none.test" >/dev/null 2>"$work/err"; code=$?
[ $code -eq 1 ] || fail "missing file exit $code"
[ "$(cat "$work/err")" = "lattix-check: cannot read $work/none.test: No such file or directory" ] \
  || fail "missing file text: $(cat "$work/err")"

printf '[Device 1 Function 0]\n\033]0;owned\007 = 1\n' > "$work/garbage.test"
out=$("$check" "$work/garbage.test"); code=$?
[ $code -eq 1 ] || fail "garbage exit $code"
expected='Unknown command: \x1B]0;owned\x07
Unable to parse script file '"$work/garbage.test"
[ "$out" = "$expected" ] || fail "garbage text: $out"

: > "$work/empty.test"
out=$("$check" "$work/empty.test"); code=$?
[ $code -eq 1 ] || fail "empty script exit $code"
[ "$out" = "The script describes no device
Unable to parse script file $work/empty.test" ] || fail "empty script text: $out"

# A capability that cannot be placed: the hierarchy is shown, the warning named, exit 3.
printf '[Device 1 Function 0]\nADV_ERR.offset = 0x50\n' > "$work/unplaced.test"
out=$("$check" "$work/unplaced.test" 2>"$work/err"); code=$?
[ $code -eq 3 ] || fail "unplaced capability exit $code"
grep -q '^1 devices, 1 functions$' <<<"$out" || fail "unplaced capability output: $out"
[ "$(cat "$work/err")" = "Warning: Device 1 Function 0: ADVANCED_ERROR_REPORTING at offset 0x50 could not be placed (status -10)
lattix-check: $work/unplaced.test: not everything the script describes could be placed (status -10)" ] \
  || fail "unplaced capability text: $(cat "$work/err")"
# A capability list that loops is shown up to the entry it comes back to.
printf '[Device 1 Function 0]\nADV_ERR.offset = 0x100\naddDeviceSerialNumCap.offset = 0x140\nREG.140.32.default = 10010003\n' \
  > "$work/loop.test"
out=$("$check" "$work/loop.test"); code=$?
[ $code -eq 0 ] || fail "looping list exit $code"
grep -q ' caps PCIe@40 PM@54 AER@100 DSN@140 (loops)$' <<<"$out" || fail "looping list: $out"
echo ok
