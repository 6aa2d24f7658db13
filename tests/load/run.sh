#!/usr/bin/env bash
# Load on the web host, on loopback only: `lexorpeek serve --port 0` and `lexorpeek dict-server`
# over a scratch HOME of small dictionaries made by lexor-mkdict, then concurrent clients and the
# cases that could take a server from everyone else (load_client.mjs says what is checked).
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
# Thousands of entries that begin with "a", for the cases that ask for too much at once.
for i in $(seq -w 0 5999); do printf 'a%s	entry %s of the long run of words that all begin with the same letter
' "$i" "$i"; done >"$work/many.tsv"
for made in "ambora52 english" "revora48 japanese" "exora1 english" "german1 german" "words1 english --bocu" "many1 many"; do
  set -- $made
  "$BIN/lexor-mkdict" ${3:-} "$folder/$1.dic" "$work/$2.tsv" >/dev/null 2>&1
done

# start NAME COMMAND: `lexorpeek COMMAND --port 0` on the folder; its address goes to $work/NAME.
start() {
  HOME="$work/home" "$BIN/lexorpeek" --quiet "$2" --port 0 >"$work/$1" 2>"$work/$1.err" &
  pids+=("$!")
  for _ in $(seq 100); do
    grep -q '^[a-z]*://127\.0\.0\.1:[0-9]*/$' "$work/$1" 2>/dev/null && return
    kill -0 "${pids[-1]}" 2>/dev/null || break
    sleep 0.1
  done
  echo "load: the $1 server did not say where it listens on loopback" >&2
  cat "$work/$1.err" >&2
  exit 1
}
start web serve
start dict dict-server
dict_port="$(sed 's|.*:\([0-9]*\)/$|\1|' "$work/dict")"
node "$ROOT/tests/load/load_client.mjs" "$(cat "$work/web")" "${pids[0]}" "$clients" "$seconds" "$dict_port" "${pids[1]}"
for pid in "${pids[@]}"; do
  kill -0 "$pid" 2>/dev/null || { echo "load: a server died under load" >&2; exit 1; }
done
