# SPDX-License-Identifier: AGPL-3.0-or-later
# Shared helpers for the bench scripts: real documents, median time and peak memory of commands.

# Debian documentation packages that ship large real PDFs.
bench_install_documents()
{
    missing=""
    for p in octave-doc r-doc-pdf lilypond-doc-pdf poppler-utils mupdf-tools hyperfine time; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
    done
    if [ -n "$missing" ]; then
        as_root=""
        [ "$(id -u)" -eq 0 ] || as_root="sudo"
        $as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >/dev/null
    fi
}

OCTAVE=/usr/share/doc/octave/octave.pdf
REFMAN=/usr/share/doc/r-doc-pdf/manual/refman.pdf
NOTATION=/usr/share/doc/lilypond/html/Documentation/notation.pdf
INTERNALS=/usr/share/doc/lilypond/html/Documentation/internals.pdf
LEARNING=/usr/share/doc/lilypond/html/Documentation/learning.pdf
R_EXTS=/usr/share/doc/r-doc-pdf/manual/R-exts.pdf

# measure RUNS CLEANUP CMD...: runs CMD RUNS times (CLEANUP before each) and sets
# MEDIAN_SECONDS and MEDIAN_KB to the median wall time and median peak resident memory.
measure()
{
    runs=$1
    cleanup=$2
    shift 2
    samples=$(mktemp)
    i=0
    while [ "$i" -lt "$runs" ]; do
        sh -c "$cleanup"
        /usr/bin/time -f "%e %M" -o "$samples.one" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; cat "$samples.one" >&2; return 1; }
        tail -n 1 "$samples.one" >>"$samples"
        i=$((i + 1))
    done
    MEDIAN_SECONDS=$(sort -n -k1,1 "$samples" | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
    MEDIAN_KB=$(sort -n -k2,2 "$samples" | awk '{a[NR]=$2} END {print a[int((NR+1)/2)]}')
    rm -f "$samples" "$samples.one"
}

# ratio A B: A / B with two decimals.
ratio()
{
    awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'
}
