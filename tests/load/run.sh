#!/usr/bin/env bash
# Load on the web host, on loopback only: `lexorpeek serve --port 0` over a scratch HOME of small
# dictionaries made by lexor-mkdict, then concurrent clients (load_client.mjs says what is checked).
#
#   tests/load/run.sh          short form for CI: 4 clients for 10 seconds
#   tests/load/run.sh --long   8 clients for 30 seconds
# The programs come from LEXOR_BIN_DIR, else LEXOR_BUILD_DIR/bin, else build/bin.
source "$(dirname "$0")/../../scripts/lib/common.sh"
BIN="${LEXOR_BIN_DIR:-${LEXOR_BUILD_DIR:-$ROOT/build}/bin}"
clients=4 seconds=10
[ "${1:-}" = "--long" ] && clients=8 seconds=30
for program in lexorpeek lexor-mkdict; do
  [ -x "$BIN/$program" ] || { echo "load: $BIN/$program is not built" >&2; exit 1; }
done

scratch_for_servers 700
folder="$work/home/Library/Lexor"
mkdir -p "$folder"
printf 'a\tひとつの\napple\tりんご\\n果物\tæpl\tan apple a day\t2\napply\t適用する\ngo\t行く\tgou\ngoing\t行くこと\ngood\t良い\nzoo\t動物園\n' >"$work/english.tsv"
printf 'りんご\tapple\n行く\tgo\n良い\tgood\n' >"$work/japanese.tsv"
printf 'Straße\t通り\nÜber\t上\n' >"$work/german.tsv"
for made in "ambora52 english" "revora48 japanese" "exora1 english" "german1 german" "words1 english --bocu"; do
  set -- $made
  "$BIN/lexor-mkdict" ${3:-} "$folder/$1.dic" "$work/$2.tsv" >/dev/null 2>&1
done

HOME="$work/home" "$BIN/lexorpeek" --quiet serve --port 0 >"$work/url" 2>"$work/err" &
pids+=("$!")
for _ in $(seq 100); do
  grep -q '^http://127\.0\.0\.1:[0-9]*/$' "$work/url" 2>/dev/null && break
  kill -0 "${pids[0]}" 2>/dev/null || break
  sleep 0.1
done
grep -q '^http://127\.0\.0\.1:' "$work/url" || { echo "load: the server did not say it listens on loopback" >&2; cat "$work/err" >&2; exit 1; }
node "$ROOT/tests/load/load_client.mjs" "$(cat "$work/url")" "${pids[0]}" "$clients" "$seconds"
kill -0 "${pids[0]}" 2>/dev/null || { echo "load: the server died under load" >&2; exit 1; }
