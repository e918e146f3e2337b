#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR as a package would, validates the desktop entry and the
# AppStream metadata with the desktop's own tools, and runs the installed vistrel-cli with a scratch
# HOME: an installed program must make its program folder below HOME, never beside itself.
# Usage: install_test.sh BUILD-DIR GUI(ON|OFF)
set -euo pipefail
build=$1
gui=$2

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

if ! DESTDIR="$scratch/root" cmake --install "$build" --prefix /usr >"$scratch/install.log" 2>&1; then
    cat "$scratch/install.log" >&2
    fail "cmake --install failed"
fi
usr=$scratch/root/usr

for path in bin/vistrel-cli share/vistrel/styles share/vistrel/scripts share/vistrel/HTML/index.htm \
    share/man/man1/vistrel-cli.1; do
    [ -e "$usr/$path" ] || fail "$path is not installed"
done
grep -q '^\.SH COMMANDS' "$usr/share/man/man1/vistrel-cli.1" || fail "the manual page lists no commands"
grep -q '^\.B albums' "$usr/share/man/man1/vistrel-cli.1" || fail "the manual page lacks the albums command"

if [ "$gui" = ON ]; then
    desktop=$usr/share/applications/vistrel.desktop
    [ -x "$usr/bin/vistrel" ] || fail "bin/vistrel is not installed"
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"
    appstreamcli validate --no-net "$usr/share/metainfo/de.vantro.vistrel.metainfo.xml" ||
        fail "appstreamcli rejects the metadata"
    # The menu entry starts the installed program by name and hands it the files to import.
    grep -qx 'Exec=vistrel %F' "$desktop" || fail "unexpected Exec line in the desktop entry"
    icon=$(sed -n 's/^Icon=//p' "$desktop")
    [ -f "$usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon $icon"
    for size in 16 22 24 32 48 64 128 256; do
        png=$usr/share/icons/hicolor/${size}x${size}/apps/$icon.png
        [ -f "$png" ] || fail "no $size pixel icon"
        # Width and height stand big-endian at bytes 16 to 23 of a PNG file's header chunk.
        [ "$(od -An -tx1 -j16 -N8 "$png" | tr -d ' \n')" = "$(printf '%08x%08x' "$size" "$size")" ] ||
            fail "$png is not $size pixels square"
    done
fi

home=$scratch/home
mkdir -p "$home"
if ! env -u XDG_DATA_HOME HOME="$home" "$usr/bin/vistrel-cli" albums >"$scratch/albums.out" 2>&1; then
    cat "$scratch/albums.out" >&2
    fail "the installed vistrel-cli albums failed"
fi
folder=$home/.local/share/vistrel
[ -d "$folder/galleries" ] || fail "no album folder in $folder"
[ -n "$(ls "$folder/styles")" ] || fail "the styles were not copied into $folder"
[ -f "$folder/HTML/index.htm" ] || fail "the help pages were not copied into $folder"
[ -f "$folder/scripts/navigation.js" ] || fail "the scripts were not copied into $folder"
[ -f "$folder/sendpostcard.pl" ] || fail "the e-card service script was not copied into $folder"
for stray in galleries vistrel.ini; do
    [ ! -e "$usr/bin/$stray" ] || fail "$stray was written beside the installed program"
done
echo "installed layout OK"
