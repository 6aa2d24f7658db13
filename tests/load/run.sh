#!/usr/bin/env bash
# Load on the web host, on loopback only: a server started here with `lexorpeek serve --port 0`
# and a scratch HOME of small dictionaries made by lexor-mkdict, then concurrent clients sending
# page sessions (tests/load/load_client.mjs says what is checked).
#
#   tests/load/run.sh          short form for CI: 4 clients for 10 seconds
#   tests/load/run.sh --long   8 clients for 30 seconds
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BIN="${LEXOR_BUILD_DIR:-$ROOT/build}/bin"

clients=4
seconds=10
if [ "${1:-}" = "--long" ]; then
  clients=8
  seconds=30
fi
for program in lexorpeek lexor-mkdict; do
  [ -x "$BIN/$program" ] || { echo "load: $BIN/$program is not built" >&2; exit 1; }
done

work="$(mktemp -d)"
server=""
cleanup() {
  if [ -n "$server" ]; then
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

folder="$work/home/Library/Lexor"
mkdir -p "$folder"
printf 'a\tひとつの\napple\tりんご\\n果物\tæpl\tan apple a day\t2\napply\t適用する\ngo\t行く\tgou\ngoing\t行くこと\ngood\t良い\nzoo\t動物園\n' >"$work/english.tsv"
printf 'りんご\tapple\n行く\tgo\n良い\tgood\n' >"$work/japanese.tsv"
printf 'Straße\t通り\nÜber\t上\n' >"$work/german.tsv"
"$BIN/lexor-mkdict" "$folder/ambora52.dic" "$work/english.tsv" >/dev/null 2>&1
"$BIN/lexor-mkdict" "$folder/revora48.dic" "$work/japanese.tsv" >/dev/null 2>&1
"$BIN/lexor-mkdict" "$folder/exora1.dic" "$work/english.tsv" >/dev/null 2>&1
"$BIN/lexor-mkdict" "$folder/german1.dic" "$work/german.tsv" >/dev/null 2>&1
"$BIN/lexor-mkdict" --bocu "$folder/words1.dic" "$work/english.tsv" >/dev/null 2>&1

HOME="$work/home" "$BIN/lexorpeek" --quiet serve --port 0 >"$work/serve.out" 2>"$work/serve.err" &
server=$!
url=""
for _ in $(seq 100); do
  url="$(head -n1 "$work/serve.out" 2>/dev/null || true)"
  [ -n "$url" ] && break
  kill -0 "$server" 2>/dev/null || { cat "$work/serve.err" >&2; exit 1; }
  sleep 0.1
done
case "$url" in
  http://127.0.0.1:*) ;;
  *) echo "load: the server did not say where it listens" >&2; exit 1 ;;
esac

node "$ROOT/tests/load/load_client.mjs" "$url" "$server" "$clients" "$seconds"
kill -0 "$server" 2>/dev/null || { echo "load: the server died under load" >&2; exit 1; }
