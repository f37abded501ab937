# Set-up steps with feedback, for the scripts that install and build before they run:
# `step "what it does" command args...` says what runs, keeps the command's output in a log,
# prints a line with the latest output while a long step runs, and on failure shows the
# step, its exit code and the tail of its output. Source this file; it defines only `step`.

# Where the logs go (one file per step) and how often a running step reports.
STEP_LOG_DIR=${STEP_LOG_DIR:-build/setup-logs}
STEP_HEARTBEAT_S=${STEP_HEARTBEAT_S:-20}
STEP_TAIL_LINES=${STEP_TAIL_LINES:-20}
step_count=0

step() {
  local what=$1
  shift
  step_count=$((step_count + 1))
  mkdir -p "$STEP_LOG_DIR"
  local log="$STEP_LOG_DIR/step-$step_count.log"
  local started=$SECONDS next=$((SECONDS + STEP_HEARTBEAT_S)) code=0 pid
  echo "-- $what"
  "$@" >"$log" 2>&1 </dev/null &
  pid=$!
  # A background command does not get the terminal's interrupt: pass it on.
  trap 'kill "$pid" 2>/dev/null; exit 130' INT TERM
  while kill -0 "$pid" 2>/dev/null; do
    sleep 0.2
    if [ "$SECONDS" -ge "$next" ] && kill -0 "$pid" 2>/dev/null; then
      local latest
      latest=$(tail -n 1 "$log" | tr -d '\r' | cut -c 1-100)
      echo "   ... $((SECONDS - started)) s: ${latest:-(no output yet)}"
      next=$((SECONDS + STEP_HEARTBEAT_S))
    fi
  done
  wait "$pid" || code=$?
  trap - INT TERM
  if [ "$code" -eq 0 ]; then
    echo "   done in $((SECONDS - started)) s"
    return 0
  fi
  {
    echo "   FAILED after $((SECONDS - started)) s with exit code $code: $what"
    echo "   command: $*"
    echo "   last lines of its output (all of it in $log):"
    tail -n "$STEP_TAIL_LINES" "$log" | sed 's/^/   | /'
  } >&2
  return "$code"
}
