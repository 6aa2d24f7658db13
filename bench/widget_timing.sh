#!/usr/bin/env bash
# The widget's timings in headless Chromium on the demo folder (bench/widget_timing.mjs says what
# is measured). Builds the demo folder with scripts/demo when it is missing, starts
# `lexorpeek serve --port 0` on it, runs the measurement and stops the server.
#
#   bench/widget_timing.sh [ROUNDS]     (default 5 rounds of 16 look-ups)
source "$(dirname "$0")/../scripts/lib/common.sh"
cd "$ROOT"
BIN="$(build_dir default)/bin"
DEMO_HOME="$(build_dir default)/demo-home"
# The demo builds the programs and the folder (a look-up, so that it does not stay serving).
[ -d "$DEMO_HOME/Library/Lexor" ] && [ -x "$BIN/lexorpeek" ] || scripts/demo lookup a >/dev/null
ensure_node
if [ ! -d tests/browser/node_modules/playwright-core ]; then
  (cd tests/browser && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
fi

work="$(mktemp -d)"
HOME="$DEMO_HOME" "$BIN/lexorpeek" --quiet serve --port 0 >"$work/url" 2>"$work/log" &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do
  grep -q '^http://' "$work/url" 2>/dev/null && break
  sleep 0.1
done
node bench/widget_timing.mjs "$(head -n1 "$work/url")" "${1:-5}"
