#!/usr/bin/env bash
# Every command as a new process, as a shell script runs them, against caches built before the
# timing: --help, a hit (`lookup 猫 --nth 0 --format html`), a miss with its suggestions (`lookup
# zzzzq --nth 0`), `match -s lev ねこ` and `match -s substring ねこ` (--dict), `search water
# --limit 100` and `search 猫 --limit 100`, and a one-shot `dict zzzzq` (a miss, with its
# suggestions) against a private dictd serving the same data. The demo's revora48.dic is the only
# file of its folder; everything runs pinned to one CPU, alternating run by run; medians of every
# run and their ratios are printed. Then the DICT server's first `MATCH * lev` on a generated
# 1,000,000-entry file, a new server each time, its head-word table already in the cache.
#
#   bench/one_shot.sh [RUNS]                      RUNS a command (default 40)
#   OLD_LEXORPEEK=path/to/lexorpeek bench/one_shot.sh    times an older build beside this one
source "$(dirname "$0")/../scripts/lib/common.sh"
cd "$ROOT"
ensure_purposes build demo bench

RUNS="${1:-40}"
CPU="${LEXOR_BENCH_CPU:-1}"
configure_and_build default lexorpeek_cli lexor-mkdict >&2
out="$(build_dir default)"
BIN="$out/bin"
DEMO="$out/demo-home/Library/Lexor/revora48.dic"
[ -s "$DEMO" ] || scripts/demo >/dev/null
DICTD_DATA=/usr/share/dictd

scratch_for_servers 1777  # dictd runs as its own user

# The spawn timer of the start-up benchmark, built here so that no bench build is needed.
c++ -O2 -std=c++20 -o "$work/spawn-timer" bench/startup/spawn_timer.cpp

mkdir -p "$work/home/Library/Lexor"
ln -s "$(realpath "$DEMO")" "$work/home/Library/Lexor/revora48.dic"

port="$(free_port)"
cat >"$work/dictd.conf" <<CONF
global {
  listen_to 127.0.0.1
  port $port
}
database fd-jpn-eng {
  data "$DICTD_DATA/freedict-jpn-eng.dict.dz"
  index "$DICTD_DATA/freedict-jpn-eng.index"
}
CONF
dictd -c "$work/dictd.conf" -p "$port" --listen-to 127.0.0.1 -L "$work/dictd.log" \
  --locale C.UTF-8 -d nodetach >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do
  dict -h 127.0.0.1 -p "$port" -D >/dev/null 2>&1 && break
  sleep 0.1
done

# The 1,000,000-entry file of the DICT server's figure, generated once from a fixed seed.
large="$out/one-shot-data/large/Library/Lexor/large.dic"
if [ ! -s "$large" ]; then
  mkdir -p "$(dirname "$large")"
  python3 bench/one_shot_summary.py --write-tsv "$out/one-shot-data/large.tsv"
  "$BIN/lexor-mkdict" "$large" "$out/one-shot-data/large.tsv" >&2
fi

HOME="$work/home" XDG_CACHE_HOME="$work/cache" taskset -c "$CPU" python3 bench/one_shot_summary.py \
  --runs "$RUNS" --timer "$work/spawn-timer" --lexorpeek "$BIN/lexorpeek" \
  --old "${OLD_LEXORPEEK:-}" --dict "$(command -v dict)" --port "$port" --work "$work" \
  --large "$(dirname "$(dirname "$(dirname "$large")")")"
