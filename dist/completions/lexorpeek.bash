# bash completion for lexorpeek. The commands and each command's options are read from the
# program's own --help, so the completion cannot drift from it; the values of a few options are
# known here: --dict takes .dic files, --nth a position of `lexorpeek list`, --format and
# --strategy their names, --port, --limit and --max-matches numbers.

# The options a help text names (backquoted examples left out), and --help, which every command
# knows; one a line.
_lexorpeek_help_options() {
  {
    echo --help
    "$@" --help 2>/dev/null | sed 's/`[^`]*`//g' |
      grep -oE -- '(^|[^[:alnum:]_-])--?[a-z][a-z-]*' | sed -E 's/^[^-]+//'
  } | sort -u
}

# The commands of `lexorpeek --help`: the first word of each line under "commands:".
_lexorpeek_commands() {
  "$1" --help 2>/dev/null | sed -n '/^commands:/,/^$/{s/^  \([a-z][a-z-]*\) .*/\1/p}'
}

_lexorpeek() {
  local program="${COMP_WORDS[0]}" cur="${COMP_WORDS[COMP_CWORD]}"
  local prev="" command="" i
  ((COMP_CWORD > 0)) && prev="${COMP_WORDS[COMP_CWORD - 1]}"
  for ((i = 1; i < COMP_CWORD; i++)); do
    case "${COMP_WORDS[i]}" in
      -*) ;;
      *) command="${COMP_WORDS[i]}" && break ;;
    esac
  done
  local IFS=$'\n'
  COMPREPLY=()
  if [[ -z $command ]]; then
    if [[ $cur == -* ]]; then
      COMPREPLY=($(compgen -W "$(_lexorpeek_help_options "$program" | grep -v '^-[a-z]$')" -- "$cur"))
    else
      COMPREPLY=($(compgen -W "$(_lexorpeek_commands "$program")" -- "$cur"))
    fi
    return
  fi
  case "$prev" in
    --dict)
      compopt -o filenames 2>/dev/null
      COMPREPLY=($(compgen -f -X '!*.dic' -- "$cur") $(compgen -d -- "$cur"))
      return
      ;;
    --nth)
      COMPREPLY=($(compgen -W "$("$program" --quiet list 2>/dev/null | cut -f1 | grep -E '^[0-9]+$')" -- "$cur"))
      return
      ;;
    --format)
      COMPREPLY=($(compgen -W $'text\nhtml\njson' -- "$cur"))
      return
      ;;
    --strategy | -s)
      COMPREPLY=($(compgen -W "$("$program" match --strategies 2>/dev/null | cut -d' ' -f1)" -- "$cur"))
      return
      ;;
    --port)
      # A number; the command's default is the one offer.
      [[ $command == dict-server ]] && COMPREPLY=($(compgen -W 2628 -- "$cur"))
      [[ $command == serve ]] && COMPREPLY=($(compgen -W 8737 -- "$cur"))
      return
      ;;
    --limit | --max-matches) return ;;
    --listen)
      COMPREPLY=($(compgen -W $'127.0.0.1\n::1' -- "$cur"))
      return
      ;;
  esac
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$(_lexorpeek_help_options "$program" "$command")" -- "$cur"))
  fi
}
complete -F _lexorpeek lexorpeek
