#!/bin/sh
# SPDX-License-Identifier: AGPL-3.0-or-later
# Usage: bundle_starts.sh BUNDLE BASE_LIBRARIES VERSION
# The bundle runs with nothing but its own folder and the base system's libraries: every library
# its programs load, plugins included, is inside it or matches BASE_LIBRARIES. Run as root, it
# then starts again where the system's library folder holds nothing else, as on a desktop without
# the -dev packages (a private mount namespace hides the rest).
set -eu
bundle=$1 version=$3
contents=$bundle/Contents
unset LD_LIBRARY_PATH QT_PLUGIN_PATH QT_QPA_PLATFORM_PLUGIN_PATH
base=$(mktemp)
trap 'rm -f "$base"; [ -z "${pid:-}" ] || kill "$pid" 2>/dev/null || true' EXIT
grep -v -e '^#' -e '^$' "$2" >"$base"

if [ "${4:-}" = only-base ]; then
    # $5: an empty folder to see the real one through; $6: one for the links to the base libraries.
    system=$(readlink -f "$(dirname "$(ldd /bin/sh | awk '/libc\.so/ { print $3 }')")")
    mount --make-rprivate /
    mount --bind "$system" "$5"
    ls "$5" | grep -E -f "$base" | while read -r name; do ln -s "$5/$name" "$6/$name"; done
    mount --bind "$6" "$system"
fi

# Names, from the library paths read, those that come from neither place.
outsiders() {
    while read -r library; do
        case $library in
        "$contents"/*) ;;
        *) basename "$library" | grep -E -q -f "$base" || echo "from outside the bundle: $library" ;;
        esac
    done
}

problems=""
for program in lumafold lumafold-desktop; do
    problems="$problems$(ldd "$contents/bin/$program" | grep -F 'not found' || true)"
    problems="$problems$(ldd "$contents/bin/$program" | awk '$2 == "=>" { print $3 }' | outsiders)"
done
[ "$("$contents/bin/lumafold" --version)" = "Lumafold $version" ] || problems="$problems wrong version"
"$contents/bin/lumafold" --help | grep -q '^Usage: lumafold' || problems="$problems no usage text"

# The window, off screen and away from any session bus, and what it has loaded once it shows.
QT_QPA_PLATFORM=offscreen DISABLE_AUTO_UPDATE=1 DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent \
    "$contents/bin/lumafold-desktop" 2>/dev/null &
pid=$!
sleep 3
kill -0 "$pid" || { echo "the window did not stay up ${4:-}"; exit 1; }
loaded=$(awk '$6 ~ /\.so/ { print $6 }' "/proc/$pid/maps" | sort -u)
problems="$problems$(echo "$loaded" | outsiders)"
echo "$loaded" | grep -q -x "$contents/plugins/platforms/libqoffscreen.so" || problems="$problems system Qt plugins"
kill "$pid"
pid=""
[ -z "$problems" ] || { echo "$problems"; exit 1; }

if [ -z "${4:-}" ] && [ "$(id -u)" = 0 ] && unshare -m true 2>/dev/null; then
    real=$(mktemp -d) only=$(mktemp -d)
    status=0
    unshare -m sh "$0" "$1" "$2" "$3" only-base "$real" "$only" || status=$?
    # The mounts ended with the namespace: both are plain folders again.
    rmdir "$real"
    rm -rf "$only"
    exit $status
fi
