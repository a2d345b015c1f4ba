#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what a desktop finds there: the executable, its
# menu entry and icon, its manual page and its AppStream metainfo.
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "install: $*" >&2; exit 1; }
[ -x "$prefix/bin/korvani" ] || fail "no executable bin/korvani"
desktop="$prefix/share/applications/korvani.desktop"
[ -f "$desktop" ] || fail "no $desktop"
grep -qx 'Name=КОРВАНИ' "$desktop" || fail "desktop entry without Name=КОРВАНИ"
grep -qx 'Categories=Game;BoardGame;' "$desktop" || fail "desktop entry without its categories"
grep -qx 'Exec=korvani' "$desktop" || fail "desktop entry does not run korvani"
grep -qx 'Icon=korvani' "$desktop" || fail "desktop entry without its icon"
png="$prefix/share/icons/hicolor/32x32/apps/korvani.png"
[ -f "$png" ] || fail "no $png"
size="$(identify -format '%w %h' "$png")"
[ "$size" = "32 32" ] || fail "icon is $size, not 32 32"
[ -f "$prefix/share/man/man6/korvani.6" ] || fail "no manual page man6/korvani.6"
[ -f "$prefix/share/metainfo/invalid.korvani.Korvani.metainfo.xml" ] || fail "no AppStream metainfo"
# The about window sends the user to the README for contact and web site.
readme="$prefix/share/doc/korvani/README.md"
[ -f "$readme" ] || fail "no $readme"
grep -q 'Связь' "$readme" && grep -q 'Сайт' "$readme" || fail "the README does not answer the about window's Связь and Сайт"
echo "install: ok"
