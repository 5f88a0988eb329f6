#!/bin/sh
# Runs a command on an X server of its own. Xvfb itself takes the first free
# display (-displayfd: it claims the display's lock file atomically) and says
# which, so tests started side by side never race for a number as
# xvfb-run -a's guesses do.
#   xvfb.sh "SERVER ARGUMENTS" COMMAND...
# Exits 77 (skipped) when Xvfb is not installed.
set -eu
if ! command -v Xvfb >/dev/null 2>&1; then
  echo "Xvfb is not installed; skipping"
  exit 77
fi
server_args=$1
shift
dir=$(mktemp -d "${TMPDIR:-/tmp}/orn-xvfb.XXXXXX")
# shellcheck disable=SC2086 # the server's arguments are words
Xvfb -displayfd 3 -nolisten tcp $server_args 3>"$dir/display" >"$dir/log" 2>&1 &
server=$!
cleanup() {
  kill "$server" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 143' INT TERM
# The number is written once the server takes clients.
tries=0
while [ ! -s "$dir/display" ]; do
  if ! kill -0 "$server" 2>/dev/null || [ $tries -ge 200 ]; then
    echo "Xvfb did not start:"
    cat "$dir/log"
    exit 1
  fi
  sleep 0.05
  tries=$((tries + 1))
done
status=0
DISPLAY=:$(head -n 1 "$dir/display") "$@" || status=$?
exit $status
