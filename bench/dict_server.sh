#!/usr/bin/env bash
# DEFINE throughput of `lexorpeek dict-server` against a private dictd on the same data: Debian's
# freedict Japanese-English dictionary, which the demo turns into revora48.dic. Both servers
# listen on loopback at free ports; dictd gets its own configuration and is stopped at the end.
# 600 head words spread over the dictionary are defined on one persistent connection, 100
# commands pipelined at a time, five timed passes after a warm-up; medians are printed.
#   bench/dict_server.sh
source "$(dirname "$0")/../scripts/lib/common.sh"
cd "$ROOT"

ensure_purposes build demo bench
DATA=/usr/share/dictd/freedict-jpn-eng
BIN="$(build_dir default)/bin"
DEMO="$(build_dir default)/demo-home/Library/Lexor/revora48.dic"
[ -s "$DEMO" ] || scripts/demo >/dev/null
configure_and_build default lexorpeek_cli >&2

scratch_for_servers 755  # dictd checks its configuration as its own unprivileged user

# 600 head words at even steps through the index (its first lines describe the database).
grep -v '^00-\?database' "$DATA.index" | cut -f1 |
  awk -v step="$(($(wc -l <"$DATA.index") / 600))" 'NR % step == 0' | head -600 >"$work/words"

# dictd: its own configuration, in the foreground so that its process can be stopped, without
# its default cap of 2,000 queries a connection (the timed passes send 3,600).
dictd_port="$(free_port)"
cat >"$work/dictd.conf" <<CONF
global {
  listen_to 127.0.0.1
  port $dictd_port
  limit_queries 0
}
database jpn-eng {
  data "$DATA.dict.dz"
  index "$DATA.index"
}
CONF
dictd -c "$work/dictd.conf" -d nodetach >/dev/null 2>&1 &
pids+=($!)

mkdir -p "$work/home/Library/Lexor"
ln -s "$(realpath "$DEMO")" "$work/home/Library/Lexor/revora48.dic"
HOME="$work/home" "$BIN/lexorpeek" --quiet dict-server --port 0 >"$work/url" &
pids+=($!)

for _ in $(seq 100); do
  [ -s "$work/url" ] && python3 -c "import socket; socket.create_connection(('127.0.0.1', $dictd_port))" 2>/dev/null && break
  sleep 0.1
done
port="$(sed -n 's|^dict://127.0.0.1:\([0-9]*\)/$|\1|p' "$work/url")"

echo "words: $(wc -l <"$work/words") head words of $(basename "$DATA").index; one connection, 100 pipelined"
dictd_result="$(python3 bench/dict_client.py 127.0.0.1 "$dictd_port" jpn-eng "$work/words")"
ours_result="$(python3 bench/dict_client.py 127.0.0.1 "$port" revora48 "$work/words")"
echo "dictd:                  $dictd_result"
echo "lexorpeek dict-server:  $ours_result"
python3 - "$dictd_result" "$ours_result" <<'PY'
import json, sys
theirs, ours = (json.loads(a) for a in sys.argv[1:])
print("ratio (median DEFINE/s, ours / dictd): %.1fx" % (ours["median_per_s"] / theirs["median_per_s"]))
PY
