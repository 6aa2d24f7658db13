#!/usr/bin/env bash
# The desktop window's timings on the demo folder (bench/window_timing.mjs says what is
# measured), under Xvfb and a session bus of its own. Builds the demo folder with scripts/demo
# when it is missing, and the window when it is.
#
#   bench/window_timing.sh [ROUNDS]     (default 5 rounds of 12 look-ups)
#   LEXOR_WINDOW_SCREENSHOT=docs/window.png bench/window_timing.sh 1   (also the README's picture)
source "$(dirname "$0")/../scripts/lib/common.sh"
cd "$ROOT"
BIN="$(build_dir default)/bin"
DEMO_HOME="$(build_dir default)/demo-home"
[ -d "$DEMO_HOME/Library/Lexor" ] && [ -x "$BIN/lexorpeek" ] || scripts/demo lookup a >/dev/null
ensure_packages "${LEXOR_WINDOW_PACKAGES[@]}"
[ -x "$BIN/lexorpeek-window" ] || configure_and_build default lexorpeek_window
ensure_node

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export HOME="$DEMO_HOME" XDG_CONFIG_HOME="$work/config" NO_AT_BRIDGE=1
# The virtual display has no GPU: the engine's shared-memory renderer is its sound choice there
# (its default GPU-buffer path falls back to a slow copy, some 60 ms a frame more on this machine).
export WEBKIT_DISABLE_DMABUF_RENDERER=1
export LEXOR_WEBDRIVER_PORT="${LEXOR_WEBDRIVER_PORT:-$((20000 + RANDOM % 20000))}"
unset WAYLAND_DISPLAY
dbus-run-session --config-file="$ROOT/tests/desktop/session-bus.conf" -- \
  xvfb-run -a -s "-screen 0 1280x1024x24" node bench/window_timing.mjs "$BIN/lexorpeek-window" "${1:-5}"
