# SPDX-License-Identifier: AGPL-3.0-or-later
# bash completion for lumafold

_lumafold()
{
    local cur prev words cword
    _init_completion -n = || return

    if [[ ${words[1]} == combine ]] && ((cword > 1)); then
        local i
        for ((i = 2; i < cword; i++)); do
            if [[ ${words[i]} == -- ]]; then
                _filedir pdf
                return
            fi
        done
        case $prev in
            -o | --output)
                _filedir pdf
                return
                ;;
        esac
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W '-o --output --notify -h --help --version --' -- "$cur"))
        else
            _filedir pdf
        fi
        return
    fi

    case $prev in
        --idle-timeout)
            return
            ;;
    esac
    if [[ ${words[1]} == --dbus-service ]] && ((cword == 2)); then
        COMPREPLY=($(compgen -W '--idle-timeout' -- "$cur"))
        return
    fi
    if [[ $cur == -* ]]; then
        ((cword == 1)) && COMPREPLY=($(compgen -W '--dbus-service -h --help --version --' -- "$cur"))
        return
    fi
    if ((cword == 1)); then
        COMPREPLY=($(compgen -W 'combine' -- "$cur"))
    fi
    _filedir pdf
} &&
    complete -F _lumafold lumafold
