#!/usr/bin/env bash
# The set-up scripts' feedback with stubbed commands: a step's progress and failure report,
# and bootstrap waiting for a held package lock (bounded) instead of failing at once.
set -uo pipefail
scripts=$(cd "$(dirname "$0")" && pwd)
fail() { echo "FAIL: $*"; exit 1; }
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT

# --- step: quick, slow and failing commands
out=$(STEP_LOG_DIR=$work/logs STEP_HEARTBEAT_S=1 bash -c "source '$scripts/steps.sh'; step 'quick one' true")
[[ "$out" =~ ^'-- quick one'$'\n''   done in '[01]' s'$ ]] || fail "quick step: $out"

out=$(STEP_LOG_DIR=$work/logs STEP_HEARTBEAT_S=1 bash -c "source '$scripts/steps.sh'; \
  step 'slow one' bash -c 'echo compiling step 1; sleep 3; echo compiling step 2'")
grep -qE '^   \.\.\. [0-9]+ s: compiling step 1$' <<<"$out" || fail "no progress line: $out"
grep -qE '^   done in [0-9]+ s$' <<<"${out##*$'\n'}" || fail "slow step end: $out"

STEP_LOG_DIR=$work/logs STEP_TAIL_LINES=3 bash -c "source '$scripts/steps.sh'; \
  step 'failing one' bash -c 'for i in 1 2 3 4 5; do echo line \$i; done; exit 100'; echo \"returned \$?\"" \
  >"$work/out" 2>"$work/err"
[ "$(cat "$work/out")" = $'-- failing one\nreturned 100' ] || fail "failing step stdout: $(cat "$work/out")"
sed -i '1s/^   FAILED after [01] s /   FAILED after N s /' "$work/err"
expected="   FAILED after N s with exit code 100: failing one
   command: bash -c for i in 1 2 3 4 5; do echo line \$i; done; exit 100
   last lines of its output (all of it in $work/logs/step-1.log):
   | line 3
   | line 4
   | line 5"
[ "$(cat "$work/err")" = "$expected" ] || fail "failing step report: $(cat "$work/err")"

# --- bootstrap with a package system that is locked for a while, then free
stubs=$work/stubs; mkdir -p "$stubs"
cat > "$stubs/dpkg-query" <<'STUB'
#!/usr/bin/env bash
[ "$3" = "tmux" ] && exit 1   # only tmux is missing
echo "install ok installed"
STUB
cat > "$stubs/apt-get" <<'STUB'
#!/usr/bin/env bash
echo "$*" >> "$APT_CALLS"
calls=$(wc -l < "$APT_CALLS")
if [ "$calls" -le "$LOCKED_CALLS" ]; then
  echo "E: Could not get lock /var/lib/dpkg/lock-frontend. It is held by process 4242 (apt-get)"
  exit 100
fi
echo "apt-get $2 ok"
STUB
printf '#!/usr/bin/env bash\n[ "$1" = -u ] && echo 0\n' > "$stubs/id"
chmod +x "$stubs"/*

out=$(PATH=$stubs:$PATH APT_CALLS=$work/calls1 LOCKED_CALLS=2 BOOTSTRAP_LOCK_RETRY_S=0 BOOTSTRAP_LOCK_WAIT_S=5 \
  bash "$scripts/bootstrap" 2>&1); code=$?
[ $code -eq 0 ] || fail "bootstrap after a held lock exit $code: $out"
[ "$(grep -c '^bootstrap: the package system is busy' <<<"$out")" -eq 2 ] || fail "waiting lines: $out"
grep -qx 'bootstrap: installing tmux' <<<"$out" || fail "installing line: $out"
expected="-o DPkg::Lock::Timeout=5 update -qq
-o DPkg::Lock::Timeout=5 update -qq
-o DPkg::Lock::Timeout=5 update -qq
-o DPkg::Lock::Timeout=5 install -y -qq --no-install-recommends tmux"
[ "$(cat "$work/calls1")" = "$expected" ] || fail "apt-get calls: $(cat "$work/calls1")"

# A lock that is never released: bounded, then the failure with apt's own message.
out=$(PATH=$stubs:$PATH APT_CALLS=$work/calls2 LOCKED_CALLS=1000 BOOTSTRAP_LOCK_RETRY_S=0 BOOTSTRAP_LOCK_WAIT_S=3 \
  bash "$scripts/bootstrap" 2>&1); code=$?
[ $code -eq 1 ] || fail "bootstrap with a lock held for good exit $code: $out"
[ "$(wc -l < "$work/calls2")" -eq 4 ] || fail "attempts: $(cat "$work/calls2")"
grep -q '^E: Could not get lock' <<<"$out" || fail "apt's message missing: $out"
grep -qx 'bootstrap: the package system stayed locked for 3 s; giving up' <<<"$out" || fail "giving up line: $out"
echo ok
