#!/usr/bin/env bash
# Start-up and one-shot look-up, each command a new process, as a shell script runs them:
#   1. `lexorpeek --help` against a C++ program linked with ICU's common library that prints
#      one line (lexor-startup-baseline);
#   2. `lexorpeek lookup W --nth 0 --format html` on the full Japanese-English data as a Lexor
#      file against `dict -s prefix -m W` asking a private dictd on loopback that serves the same
#      data, over 100 words.
# Both sides run pinned to one CPU (taskset) and alternate, run by run; the figures are medians
# of every run (at least 200 a command) and their ratios.
#
#   bench/startup.sh [ROUNDS]     ROUNDS passes over the 100 words (default 3: 300 runs a side)
#   LEXORPEEK=path/to/lexorpeek bench/startup.sh    times another build of the program
source "$(dirname "$0")/../scripts/lib/common.sh"
cd "$ROOT"
ensure_purposes build bench

ROUNDS="${1:-3}"
CPU="${LEXOR_BENCH_CPU:-1}"
configure_and_build bench lexorpeek_cli lexor-mkdict lexor-startup-baseline lexor-spawn-timer >&2
out="$(build_dir bench)"
BIN="$out/bin"
LEXORPEEK="${LEXORPEEK:-$BIN/lexorpeek}"
DICTD_DATA=/usr/share/dictd
work="$out/startup"
home="$work/home"
folder="$home/Library/Lexor"
mkdir -p "$folder"

# The Japanese-English data as the only file of the folder, so that --nth 0 chooses it.
dic="$folder/revora48.dic"
if [ ! -s "$dic" ] || [ "$dic" -ot "$BIN/lexor-mkdict" ]; then
  echo "Writing revora48.dic" >&2
  "$BIN/lexor-mkdict" --bocu "$work/revora48.dic" "$DICTD_DATA/freedict-jpn-eng.index" >&2
  mv "$work/revora48.dic" "$dic"
fi

# A private dictd: its own configuration, a free port on loopback, stopped when the script ends.
# It runs as its own user, so its folder must be writable by all.
run="$(mktemp -d /tmp/lexor-dictd.XXXXXX)"
chmod 1777 "$run"
port="$(free_port)"
cat >"$run/dictd.conf" <<CONF
global {
  listen_to 127.0.0.1
  port $port
  pid_file $run/dictd.pid
}
access {
  allow 127.0.0.1
}
database fd-jpn-eng {
  data "$DICTD_DATA/freedict-jpn-eng.dict.dz"
  index "$DICTD_DATA/freedict-jpn-eng.index"
}
CONF
dictd -c "$run/dictd.conf" -p "$port" --listen-to 127.0.0.1 --pid-file "$run/dictd.pid" \
  -L "$run/dictd.log" --locale C.UTF-8 -d nodetach >/dev/null 2>&1 &
dictd_pid=$!
cleanup() {
  kill "$dictd_pid" 2>/dev/null || true
  wait "$dictd_pid" 2>/dev/null || true
  rm -rf "$run"
}
trap cleanup EXIT
for _ in $(seq 50); do
  dict -h 127.0.0.1 -p "$port" -D >/dev/null 2>&1 && break
  sleep 0.1
done

HOME="$home" taskset -c "$CPU" python3 "$ROOT/bench/startup_summary.py" \
  --rounds "$ROUNDS" --timer "$BIN/lexor-spawn-timer" --lexorpeek "$LEXORPEEK" \
  --baseline "$BIN/lexor-startup-baseline" --dict "$(command -v dict)" --port "$port" \
  --index "$DICTD_DATA/freedict-jpn-eng.index" --work "$run"
