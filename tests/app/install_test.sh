#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what a desktop finds there: the executable, its
# menu entry and icon, its manual page, its AppStream metainfo and its translations.
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "install: $*" >&2; exit 1; }
[ -x "$prefix/bin/korvani" ] || fail "no executable bin/korvani"
desktop="$prefix/share/applications/korvani.desktop"
[ -f "$desktop" ] || fail "no $desktop"
grep -qx 'Name=Korvani' "$desktop" && grep -qx 'Name\[ru\]=КОРВАНИ' "$desktop" || fail "desktop entry without its names"
# The window's class (WM_CLASS "korvani"), which ties the window to the entry.
grep -qx 'StartupWMClass=korvani' "$desktop" || fail "desktop entry without StartupWMClass=korvani"
grep -qx 'Categories=Game;BoardGame;' "$desktop" || fail "desktop entry without its categories"
grep -qx 'Exec=korvani' "$desktop" || fail "desktop entry does not run korvani"
grep -qx 'Icon=korvani' "$desktop" || fail "desktop entry without its icon"
for n in 32 48 64 128 256; do
  png="$prefix/share/icons/hicolor/${n}x${n}/apps/korvani.png"
  [ -f "$png" ] || fail "no $png"
  size="$(identify -format '%w %h' "$png")"
  [ "$size" = "$n $n" ] || fail "icon ${n}x${n} is $size"
done
svg="$prefix/share/icons/hicolor/scalable/apps/korvani.svg"
[ -f "$svg" ] || fail "no $svg"
grep -q '<svg' "$svg" || fail "$svg is no SVG"
[ -f "$prefix/share/man/man6/korvani.6" ] || fail "no manual page man6/korvani.6"
[ -f "$prefix/share/metainfo/invalid.korvani.Korvani.metainfo.xml" ] || fail "no AppStream metainfo"
# The English catalog, where the installed game finds it from its own folder.
[ -f "$prefix/share/locale/en/LC_MESSAGES/korvani.mo" ] || fail "no share/locale/en/LC_MESSAGES/korvani.mo"
# In an English locale: the one the build makes for the window tests (newer C libraries, as Debian 13's,
# read no LANGUAGE under C.UTF-8 either).
env -u LC_ALL -u LC_MESSAGES -u LANGUAGE LOCPATH="$build/tests/locales" LANG=en_US.UTF-8 "$prefix/bin/korvani" --help |
  grep -q '^KORVANI: ' || fail "the installed game does not speak English with LANG=en_US.UTF-8"
# The about window sends the user to the README for contact and web site.
readme="$prefix/share/doc/korvani/README.md"
[ -f "$readme" ] || fail "no $readme"
grep -q 'Связь' "$readme" && grep -q 'Сайт' "$readme" || fail "the README does not answer the about window's Связь and Сайт"
echo "install: ok"
