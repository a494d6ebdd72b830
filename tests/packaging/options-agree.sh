#!/bin/sh
# SPDX-License-Identifier: AGPL-3.0-or-later
# Usage: options-agree.sh PROGRAM MANUAL.gz — the options named by the program's help texts and by
# its manual page must be the same.
set -eu
options() {
    grep -oE -- '(^|[^[:alnum:]-])--?[[:alpha:]][[:alnum:]-]*' | grep -oE -- '--?[[:alpha:]][[:alnum:]-]*' | sort -u
}
help=$({ "$1" --help && "$1" combine --help; } | options)
manual=$(gzip -dc "$2" | sed 's/\\-/-/g; s/\\f[BIRP]//g; s/\\fP//g' | options)
if [ "$help" != "$manual" ]; then
    printf 'Only in --help:\n%s\nOnly in the manual page:\n%s\n' \
        "$(printf '%s\n' "$help" | grep -vxF -e "$manual" || true)" \
        "$(printf '%s\n' "$manual" | grep -vxF -e "$help" || true)"
    exit 1
fi
