#!/usr/bin/env bash
# The desktop window end to end: builds the test dictionaries, then drives lexorpeek-window with
# WebKitWebDriver under Xvfb and a session bus of its own. Programs from LEXOR_BIN_DIR, by default
# the release build: a sanitizer-built page extension cannot load into the engine's web process.
source "$(dirname "$0")/../../scripts/lib/common.sh"

BIN="${LEXOR_BIN_DIR:-$ROOT/build/bin}"
FIXTURES="$ROOT/tests/browser/fixtures"
for program in lexorpeek lexorpeek-window lexor-mkdict; do
  if [ ! -x "$BIN/$program" ]; then
    echo "tests/desktop: $BIN/$program is missing; build first (WebKitGTK's development files)" >&2
    exit 1
  fi
done
ensure_purposes window test
ensure_node
desktop-file-validate "$ROOT/dist/lexorpeek.desktop"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
dicdir="$work/home/Library/Lexor"
mkdir -p "$dicdir"
for name in sample1 irreg1 nl_en-ge1 ambora52 revora48; do
  "$BIN/lexor-mkdict" "$dicdir/$name.dic" "$FIXTURES/$name.tsv" >/dev/null
done

# GTK prefers dark; where the tests start a settings portal, it says otherwise.
mkdir -p "$work/config/gtk-3.0"
printf '[Settings]\ngtk-application-prefer-dark-theme=1\n' >"$work/config/gtk-3.0/settings.ini"

export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache"
export LEXOR_BIN_DIR="$BIN" LEXOR_DICTIONARY_FOLDER="$dicdir"
export LEXOR_WEBDRIVER_PORT="${LEXOR_WEBDRIVER_PORT:-$((20000 + RANDOM % 20000))}"
export NO_AT_BRIDGE=1
unset WAYLAND_DISPLAY
dbus-run-session --config-file="$ROOT/tests/desktop/session-bus.conf" -- xvfb-run -a node --test --test-concurrency=1 "$ROOT"/tests/desktop/*.test.mjs
