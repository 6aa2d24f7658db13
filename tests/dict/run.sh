#!/usr/bin/env bash
# The DICT host end to end: `lexorpeek dict-server` on a folder of small dictionaries with a free
# port, driven by Debian's `dict` client. Checks what the client prints, not only its status;
# every command's exact answer is checked in tests/dict/dict_session_test.cpp.
# Programs from LEXOR_BIN_DIR (default: the release build).
source "$(dirname "$0")/../../scripts/lib/common.sh"

BIN="${LEXOR_BIN_DIR:-$ROOT/build/bin}"
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
for program in lexorpeek lexor-mkdict; do
  [ -x "$BIN/$program" ] || fail "$BIN/$program is missing; build first"
done
[ "$failures" = 0 ] || exit 1
ensure_purposes test
scratch_for_servers 700

folder="$work/home/Library/Lexor"
mkdir -p "$folder"
printf '%s\n' $'cat\tneko' $'Cat\tthe second cat' $'catalog\tmokuroku' $'concat\trenketsu' $'scat\tshi' \
  $'tom cat\tosuneko' $'dog\tinu' $'cart\tniguruma' >"$work/en.tsv"
printf '%s\n' $'猫\tcat' $'猫舌\tdislike of hot food' $'犬\tdog' $'食べる\t(Ichidan verb) to eat' \
  $'行く\t(Godan verb - Iku/Yuku special class) to go' $'行う\t(Godan verb with `u\' ending) to do' \
  >"$work/ja.tsv"
printf '%s\n' $'apple\tringo' >"$work/mine.tsv"
"$BIN/lexor-mkdict" --bocu "$folder/ambora52.dic" "$work/en.tsv" >/dev/null 2>&1
"$BIN/lexor-mkdict" --bocu "$folder/revora48.dic" "$work/ja.tsv" >/dev/null 2>&1
"$BIN/lexor-mkdict" --bocu "$folder/my words.dic" "$work/mine.tsv" >/dev/null 2>&1

HOME="$work/home" "$BIN/lexorpeek" --quiet dict-server --port 0 >"$work/url" 2>"$work/stderr" &
server=$!
pids+=("$server")
for _ in $(seq 100); do
  [ -s "$work/url" ] && break
  sleep 0.1
done
url="$(head -1 "$work/url")"
if [[ ! $url =~ ^dict://127\.0\.0\.1:([0-9]+)/$ ]]; then
  echo "tests/dict: the server printed '$url', not its address" >&2
  exit 1
fi
port="${BASH_REMATCH[1]}"
[ "$port" != 2628 ] || fail "--port 0 took the default port"
[ ! -s "$work/stderr" ] || fail "a loopback server warned: $(cat "$work/stderr")"

# expect NAME STATUS ARGS PATTERN...: runs `dict ARGS` (words without spaces) and checks its exit
# status and that every PATTERN (an extended regular expression) matches a line of its output.
expect() {
  local name="$1" status="$2" args="$3" out got=0 pattern
  shift 3
  # shellcheck disable=SC2086 # ARGS is split into its words
  out="$(HOME="$work/home" dict -h 127.0.0.1 -p "$port" $args 2>&1)" || got=$?
  [ "$got" = "$status" ] || fail "$name: exit status $got, not $status"$'\n'"$out"
  for pattern in "$@"; do
    grep -Eq -- "$pattern" <<<"$out" || fail "$name: no line matches /$pattern/"$'\n'"$out"
  done
}

expect databases 0 -D '^ *ambora52 +アンボラ英和辞典' '^ *revora48 ' '^ *my_words ' \
  '^ *ambora +Ambora suite'
expect server 0 -I 'lexorpeek dict-server on 127.0.0.1:' '3 databases from'
expect define 0 "-d ambora52 CAT" '2 definitions found' 'From .*\[ambora52\]' '^ *neko$' \
  '^ *the second cat$'

# A match's head words are listed in dictionary order (the stored bytes: "Cat" before "cat") on
# one line, a head word with a space quoted; what each strategy matches is the engine's.
expect match-substring 0 "-d ambora52 -m -s substring cat" \
  '^ambora52: +Cat +cat +catalog +concat +scat +"tom cat"$'
# Conjugated Japanese: the suite's Japanese side, best first.
expect deinflect-suite 0 "-d ambora -m -s deinflect 行った" '^revora48: +行く +行う$'

expect suggestions 21 "-d ambora52 cst" 'No definitions found for "cst", perhaps you mean:' \
  'ambora52: +Cat +cat'

# SIGTERM stops the server within two seconds.
kill -TERM "$server"
if timeout 2 tail --pid="$server" -f /dev/null; then
  wait "$server" || fail "the server exited with status $? on SIGTERM"
else
  fail "the server was still running 2 s after SIGTERM"
fi

if [ "$failures" -gt 0 ]; then
  echo "tests/dict: $failures failures" >&2
  exit 1
fi
echo "tests/dict: the dict client's answers are as expected"
