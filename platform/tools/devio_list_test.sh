#!/usr/bin/env bash
# devio-list: help, a wrong argument, and a lab socket that nobody serves.
set -uo pipefail
devio_list=$1
fail() { echo "FAIL: $*"; exit 1; }
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT

out=$("$devio_list" --help); code=$?
[ $code -eq 0 ] || fail "--help exit $code"
[ "$(echo "$out" | head -1)" = "Usage: devio-list" ] || fail "--help text: $out"

# --version beside another argument is a wrong command line, not the version.
err=$("$devio_list" --version --help 2>&1 >/dev/null); code=$?
[ $code -eq 2 ] || fail "--version --help exit $code"
[ "$(echo "$err" | head -1)" = "devio-list: unexpected argument '--version'" ] || fail "--version --help text: $err"

err=$("$devio_list" --bogus 2>&1 >/dev/null); code=$?
[ $code -eq 2 ] || fail "wrong argument exit $code"
[ "$(echo "$err" | head -1)" = "devio-list: unexpected argument '--bogus'" ] || fail "wrong argument text: $err"

# No socket at all, then a file that is not a listening socket: one line that names the
# socket and the reason, before the program's own message.
err=$(ZAMSIM_SOCKET=$work/none.sock "$devio_list" 2>&1 >/dev/null); code=$?
[ $code -eq 1 ] || fail "missing lab exit $code"
expected="cannot reach the lab at ZAMSIM_SOCKET=$work/none.sock: No such file or directory
devio-list: no configuration-space driver available"
[ "$err" = "$expected" ] || fail "missing lab text: $err"

: > "$work/plain.sock"
err=$(ZAMSIM_SOCKET=$work/plain.sock "$devio_list" 2>&1 >/dev/null); code=$?
[ $code -eq 1 ] || fail "refused lab exit $code"
expected="cannot reach the lab at ZAMSIM_SOCKET=$work/plain.sock: Connection refused
devio-list: no configuration-space driver available"
[ "$err" = "$expected" ] || fail "refused lab text: $err"
echo ok
