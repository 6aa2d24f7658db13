#!/usr/bin/env bash
# Load on the web host, on loopback only: `lexorpeek serve --port 0` over a scratch HOME of small
# dictionaries made by lexor-mkdict, then concurrent clients (load_client.mjs says what is checked).
#
#   tests/load/run.sh          short form for CI: 4 clients for 10 seconds
#   tests/load/run.sh --long   8 clients for 30 seconds
# The programs come from LEXOR_BIN_DIR, else LEXOR_BUILD_DIR/bin, else build/bin.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BIN="${LEXOR_BIN_DIR:-${LEXOR_BUILD_DIR:-$ROOT/build}/bin}"
clients=4 seconds=10
[ "${1:-}" = "--long" ] && clients=8 seconds=30
for program in lexorpeek lexor-mkdict; do
  [ -x "$BIN/$program" ] || { echo "load: $BIN/$program is not built" >&2; exit 1; }
done

work="$(mktemp -d)"
server=""
trap '[ -n "$server" ] && { kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; }; rm -rf "$work"' EXIT
folder="$work/home/Library/Lexor"
mkdir -p "$folder"
printf 'a\tひとつの\napple\tりんご\\n果物\tæpl\tan apple a day\t2\napply\t適用する\ngo\t行く\tgou\ngoing\t行くこと\ngood\t良い\nzoo\t動物園\n' >"$work/english.tsv"
printf 'りんご\tapple\n行く\tgo\n良い\tgood\n' >"$work/japanese.tsv"
printf 'Straße\t通り\nÜber\t上\n' >"$work/german.tsv"
# Thousands of entries that begin with "a", for the cases that ask for too much at once.
for i in $(seq -w 0 5999); do printf 'a%s	entry %s of the long run of words that all begin with the same letter
' "$i" "$i"; done >"$work/many.tsv"
for made in "ambora52 english" "revora48 japanese" "exora1 english" "german1 german" "words1 english --bocu" "many1 many"; do
  set -- $made
  "$BIN/lexor-mkdict" ${3:-} "$folder/$1.dic" "$work/$2.tsv" >/dev/null 2>&1
done

HOME="$work/home" "$BIN/lexorpeek" --quiet serve --port 0 >"$work/serve.out" 2>"$work/serve.err" &
server=$!
url=""
for _ in $(seq 100); do
  url="$(head -n1 "$work/serve.out" 2>/dev/null || true)"
  [ -n "$url" ] && break
  kill -0 "$server" 2>/dev/null || { cat "$work/serve.err" >&2; exit 1; }
  sleep 0.1
done
[[ "$url" == http://127.0.0.1:* ]] || { echo "load: the server did not say where it listens" >&2; exit 1; }

node "$ROOT/tests/load/load_client.mjs" "$url" "$server" "$clients" "$seconds"
kill -0 "$server" 2>/dev/null || { echo "load: the server died under load" >&2; exit 1; }

# The budget cases, against this server and a DICT server on the same folder.
HOME="$work/home" "$BIN/lexorpeek" --quiet dict-server --port 0 >"$work/dict.out" 2>"$work/dict.err" &
dict_server=$!
trap '[ -n "$server" ] && { kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; }; kill "$dict_server" 2>/dev/null || true; wait "$dict_server" 2>/dev/null || true; rm -rf "$work"' EXIT
dict_url=""
for _ in $(seq 100); do
  dict_url="$(head -n1 "$work/dict.out" 2>/dev/null || true)"
  [ -n "$dict_url" ] && break
  sleep 0.1
done
dict_port="${dict_url##*:}"; dict_port="${dict_port%/}"
node "$ROOT/tests/load/budget_cases.mjs" "$url" "$server" "$dict_port" "$dict_server"
kill -0 "$server" 2>/dev/null || { echo "load: the web server died in the budget cases" >&2; exit 1; }
kill -0 "$dict_server" 2>/dev/null || { echo "load: the DICT server died in the budget cases" >&2; exit 1; }
