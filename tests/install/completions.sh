#!/usr/bin/env bash
# The shell completions of lexorpeek, each line of the table completed by bash and by fish (zsh's
# file is checked for syntax: its completion needs a terminal), over a scratch folder of one
# dictionary.
#   tests/install/completions.sh BIN_DIR COMPLETIONS_DIR LEXOR_MKDICT
set -euo pipefail
bin="$(realpath "$1")" completions="$(realpath "$2")" mkdict="$(realpath "$3")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home/Library/Lexor" "$work/files/sub"
printf 'apple\tりんご\n' >"$work/words.tsv"
"$mkdict" "$work/home/Library/Lexor/fruit.dic" "$work/words.tsv" 2>/dev/null
touch "$work/files/mine.dic" "$work/files/notes.txt"
export HOME="$work/home" PATH="$bin:$PATH"
cd "$work/files"

# line to complete | the candidates, sorted
cases=(
  "lexorpeek |consult deinflect dict-server list lookup match repl search serve window"
  "lexorpeek --|--help --quiet --version"
  "lexorpeek --quiet lookup --|--dict --format --help --nth --romaji --strategy --suite"
  "lexorpeek dict-server --|--help --listen --max-matches --port"
  "lexorpeek lookup --dict |mine.dic sub/"
  "lexorpeek lookup --nth |0"
  "lexorpeek match -s re|re regexp"
  "lexorpeek search --format |html json text"
  "lexorpeek dict-server --port |2628"
  "lexorpeek search --limit |"
)

# shellcheck disable=SC1091
source "$completions/lexorpeek.bash"
bash_candidates() {
  read -ra COMP_WORDS <<<"$1"
  [[ $1 == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  _lexorpeek
  local word
  for word in "${COMPREPLY[@]}"; do
    [ -d "$word" ] && word="$word/"  # as readline shows a folder
    echo "$word"
  done | sort | xargs
}

fish_candidates() {
  fish -c "source $completions/lexorpeek.fish; complete -C '$1'" | cut -f1 | sort | xargs
}

failed=0
shells=(bash)
command -v fish >/dev/null && shells+=(fish)
for shell in "${shells[@]}"; do
  for case in "${cases[@]}"; do
    line="${case%%|*}" expected="${case#*|}"
    got="$("${shell}_candidates" "$line")"
    if [ "$got" != "$expected" ]; then
      echo "$shell: '$line' completes to '$got', not '$expected'" >&2
      failed=1
    fi
  done
done
if command -v zsh >/dev/null; then zsh -n "$completions/_lexorpeek" || failed=1; fi
((failed == 0)) && echo "completions: ${#cases[@]} lines in ${shells[*]}"
exit "$failed"
