#!/usr/bin/env bash
# The DICT host end to end: builds a folder of small dictionaries, starts `lexorpeek dict-server`
# on it with a free port, and drives Debian's `dict` client against it: the databases the folder
# gives, server information, a definition, matches, deinflection through the suite and
# suggestions for a misspelled word. Checks what the client prints, not only its status; every
# command's exact answer is checked in tests/dict/dict_session_test.cpp.
# Programs from LEXOR_BIN_DIR (default: the release build).
source "$(dirname "$0")/../../scripts/lib/common.sh"

BIN="${LEXOR_BIN_DIR:-$ROOT/build/bin}"
for program in lexorpeek lexor-mkdict; do
  if [ ! -x "$BIN/$program" ]; then
    echo "tests/dict: $BIN/$program is missing; build first" >&2
    exit 1
  fi
done
ensure_purposes test

work="$(mktemp -d)"
server=""
cleanup() {
  if [ -n "$server" ]; then kill "$server" 2>/dev/null && wait "$server" 2>/dev/null || true; fi
  if [ -n "${LEXOR_KEEP_WORK:-}" ]; then echo "kept $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

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

# expect NAME STATUS PATTERN... -- ARGS: runs `dict ARGS` and checks its exit status and that
# every PATTERN (an extended regular expression) matches a line of its output.
expect() {
  local name="$1" status="$2"
  shift 2
  local patterns=()
  while [ "$1" != "--" ]; do
    patterns+=("$1")
    shift
  done
  shift
  local out got=0
  out="$(HOME="$work/home" dict -h 127.0.0.1 -p "$port" "$@" 2>&1)" || got=$?
  [ "$got" = "$status" ] || fail "$name: exit status $got, not $status"$'\n'"$out"
  local pattern
  for pattern in "${patterns[@]}"; do
    grep -Eq -- "$pattern" <<<"$out" || fail "$name: no line matches /$pattern/"$'\n'"$out"
  done
}

expect databases 0 '^ *ambora52 +アンボラ英和辞典' '^ *revora48 ' '^ *my_words ' '^ *ambora +Ambora suite' -- -D
expect server 0 'lexorpeek dict-server on 127.0.0.1:' '3 databases from' -- -I
expect define 0 '2 definitions found' 'From .*\[ambora52\]' '^ *neko$' '^ *the second cat$' -- -d ambora52 CAT

# A match's head words are listed in dictionary order (the stored bytes: "Cat" before "cat") on
# one line, a head word with a space quoted; what each strategy matches is the engine's.
expect match-substring 0 '^ambora52: +Cat +cat +catalog +concat +scat +"tom cat"$' -- -d ambora52 -m -s substring cat
# Conjugated Japanese: the suite's Japanese side, best first.
expect deinflect-suite 0 '^revora48: +行く +行う$' -- -d ambora -m -s deinflect 行った

expect suggestions 21 'No definitions found for "cst", perhaps you mean:' 'ambora52: +Cat +cat' -- -d ambora52 cst

# SIGTERM stops the server within two seconds.
kill -TERM "$server"
if timeout 2 tail --pid="$server" -f /dev/null; then
  wait "$server" || fail "the server exited with status $? on SIGTERM"
  server=""
else
  fail "the server was still running 2 s after SIGTERM"
fi

if [ "$failures" -gt 0 ]; then
  echo "tests/dict: $failures failures" >&2
  exit 1
fi
echo "tests/dict: the dict client's answers are as expected"
