# fish completion for lexorpeek. The commands and each command's options are read from the
# program's own --help, so the completion cannot drift from it; the values of a few options are
# known here: --dict takes .dic files, --nth a position of `lexorpeek list`, --format and
# --strategy their names, --port, --limit and --max-matches numbers.

function __lexorpeek_command
    set -l words (commandline -opc)
    for word in $words[2..-1]
        if not string match -q -- '-*' $word
            echo $word
            return 0
        end
    end
    return 1
end

# The options a help text names (backquoted examples left out), and --help.
function __lexorpeek_help_options
    echo --help
    $argv --help 2>/dev/null | sed 's/`[^`]*`//g' | grep -oE -- '(^|[^[:alnum:]_-])--?[a-z][a-z-]*' | sed -E 's/^[^-]+//'
end

function __lexorpeek_complete
    set -l program (commandline -opc)[1]
    set -l current (commandline -ct)
    set -l command (__lexorpeek_command)
    if test -z "$command"
        if string match -q -- '-*' $current
            __lexorpeek_help_options $program | string match -r -- '^--.*' | sort -u
        else
            $program --help 2>/dev/null | sed -n '/^commands:/,/^$/{s/^  \([a-z][a-z-]*\)  *\(.*\)/\1\t\2/p}'
        end
        return
    end
    switch (commandline -opc)[-1]
        case --dict
            for path in $current*
                if test -d $path
                    echo $path/
                else if string match -q -- '*.dic' $path
                    echo $path
                end
            end
        case --nth
            $program --quiet list 2>/dev/null | cut -f1 | string match -r '^[0-9]+$'
        case --format
            printf '%s\n' text html json
        case --strategy -s
            $program match --strategies 2>/dev/null | string replace -r ' +' \t
        case --port
            test "$command" = dict-server; and echo 2628
            test "$command" = serve; and echo 8737
        case --limit --max-matches
            return
        case --listen
            printf '%s\n' 127.0.0.1 ::1
        case '*'
            if string match -q -- '-*' $current
                __lexorpeek_help_options $program $command | sort -u
            end
    end
end

complete -c lexorpeek -f -a '(__lexorpeek_complete)'
