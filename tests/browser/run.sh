#!/usr/bin/env bash
# The web host end to end: builds small dictionaries, starts `lexorpeek serve` on them, then runs
# the HTTP security tests (tests/web) and the widget tests in headless Chromium, with the programs
# in LEXOR_BIN_DIR (default: the release build).
source "$(dirname "$0")/../../scripts/lib/common.sh"

HERE="$ROOT/tests/browser"
BIN="${LEXOR_BIN_DIR:-$ROOT/build/bin}"
SCREENSHOTS="${LEXOR_SCREENSHOT_DIR:-$ROOT/build/screenshots}"
CHROMIUM="${LEXOR_CHROMIUM:-/usr/bin/chromium}"

for program in lexorpeek lexor-mkdict; do
  if [ ! -x "$BIN/$program" ]; then
    echo "tests/browser: $BIN/$program is missing; build first" >&2
    exit 1
  fi
done
ensure_node
# Chromium, and a Japanese font so that the screenshots show the entries rather than empty boxes.
ensure_purposes test

scratch_for_servers 700

# Dictionaries: the fixtures, plus a run of entries long enough to need several pages.
dicdir="$work/home/Library/Lexor"
mkdir -p "$dicdir" "$work/bare-home"
cp "$HERE/fixtures/sample1.tsv" "$work/sample1.tsv"
for i in $(seq -w 0 149); do printf 'many%s\tentry number %s\n' "$i" "$i"; done >>"$work/sample1.tsv"
"$BIN/lexor-mkdict" "$dicdir/sample1.dic" "$work/sample1.tsv" >/dev/null
for name in irreg1 nl_en-ge1 ambora52 revora48; do
  "$BIN/lexor-mkdict" "$dicdir/$name.dic" "$HERE/fixtures/$name.tsv" >/dev/null
done

# start_server HOME NAME: starts a server on a free port; its address goes to $work/NAME.url.
start_server() {
  local home="$1" name="$2"
  HOME="$home" XDG_CACHE_HOME="$home/.cache" "$BIN/lexorpeek" serve --port 0 >"$work/$name.url" 2>"$work/$name.log" &
  pids+=("$!")
  for _ in $(seq 100); do
    grep -q '^http://' "$work/$name.url" 2>/dev/null && return
    kill -0 "${pids[-1]}" 2>/dev/null || break
    sleep 0.1
  done
  echo "tests/browser: the $name server did not start" >&2
  cat "$work/$name.log" >&2
  exit 1
}
start_server "$work/home" dictionaries
start_server "$work/bare-home" bare
# Short deadlines and room for 8 connections, for the tests of those limits.
LEXOR_NET_REQUEST_TIMEOUT_MS=2000 LEXOR_NET_IDLE_TIMEOUT_MS=3000 LEXOR_NET_MAX_CONNECTIONS=8 \
  start_server "$work/home" fast

if [ ! -d "$HERE/node_modules/playwright-core" ]; then
  # Only the driver library; the browser is the system's own (never downloaded).
  (cd "$HERE" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
fi

mkdir -p "$SCREENSHOTS"
export LEXOR_URL LEXOR_BARE_URL LEXOR_FAST_URL LEXOR_BIN_DIR="$BIN" LEXOR_DICTIONARY_FOLDER="$dicdir" LEXOR_SCREENSHOT_DIR="$SCREENSHOTS" LEXOR_CHROMIUM="$CHROMIUM"
LEXOR_URL="$(head -n1 "$work/dictionaries.url")"

# The server listens on the loopback address alone: every listening socket on its port is bound
# to 127.0.0.1 (0100007F in the kernel's table), never to a wildcard or another address.
port="${LEXOR_URL##*:}"; port="${port%/}"
listening="$(awk -v port="$(printf '%04X' "$port")" \
  '$4 == "0A" { split($2, a, ":"); if (a[2] == port) print a[1] }' /proc/net/tcp /proc/net/tcp6)"
if [ "$listening" != "0100007F" ]; then
  echo "tests/browser: the server on port $port listens on: ${listening:-nothing}" >&2
  exit 1
fi
LEXOR_BARE_URL="$(head -n1 "$work/bare.url")"
LEXOR_FAST_URL="$(head -n1 "$work/fast.url")"

# One file at a time: the connection-bound and slow-client tests need the servers to themselves.
node --test --test-concurrency=1 "$ROOT"/tests/web/*.test.mjs "$HERE"/*.test.mjs

# No request of the tests may have brought a server down.
for pid in "${pids[@]}"; do
  if ! kill -0 "$pid" 2>/dev/null; then
    echo "tests/browser: a server ended during the tests" >&2
    exit 1
  fi
done
