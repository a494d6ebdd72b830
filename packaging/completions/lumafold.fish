# SPDX-License-Identifier: AGPL-3.0-or-later
# fish completion for lumafold

# Folders, and the files whose names end in .pdf in any case.
function __lumafold_pdfs
    set -l token (commandline -ct)
    for path in $token*
        if test -d $path
            echo $path/
        else if string match -qi -- '*.pdf' $path
            echo $path
        end
    end
end

complete -c lumafold -f
complete -c lumafold -n __fish_use_subcommand -a combine -d 'Combine PDF files into one new PDF'
complete -c lumafold -n __fish_use_subcommand -a '(__lumafold_pdfs)'
complete -c lumafold -n '__fish_use_subcommand; and not __fish_seen_argument -l dbus-service' -l dbus-service -d 'Serve the session bus without a window'
complete -c lumafold -n '__fish_seen_argument -l dbus-service' -l idle-timeout -x -d 'Exit after this many seconds without a call'
complete -c lumafold -s h -l help -d 'Show a summary of the options'
complete -c lumafold -l version -d 'Show the version'

complete -c lumafold -n '__fish_seen_subcommand_from combine' -a '(__lumafold_pdfs)'
complete -c lumafold -n '__fish_seen_subcommand_from combine' -s o -l output -x -a '(__lumafold_pdfs)' -d 'Write the result to PATH'
complete -c lumafold -n '__fish_seen_subcommand_from combine' -l notify -d 'Also report the outcome as a desktop notification'
