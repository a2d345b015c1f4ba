#!/usr/bin/env bash
# The translations against the sources: every Russian text of the sources is marked and in the template
# po/korvani.pot, and each po/LANG.po translates every entry of it, none fuzzy, with formats that match.
set -uo pipefail
root="$1"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
status=0
fail() { echo "translations: $*"; status=1; }

# Every string of the sources with a Russian letter (xgettext -a takes them all, comments aside) must be
# among the marked ones. Both are read here as Latin-1: gettext 0.23 refuses byte strings that are not
# UTF-8 (the icon's PNG signature, the rating file's UTF-16 marks), and read so a Russian letter is "Ð" or
# "Ñ" (its first byte in UTF-8) followed by another.
mapfile -t sources < <(cd "$root" && find app support -name '*.cpp' -o -name '*.h' | LC_ALL=C sort)
latin1() { (cd "$root" && xgettext --from-code=ISO-8859-1 --language=C++ "$@" "${sources[@]}") 2>/dev/null; }
"$root/po/extract" "$tmp/marked.pot" 2>/dev/null || fail "po/extract failed"
latin1 --keyword=_ --keyword=N_ -o "$tmp/marked-latin1.pot" || fail "xgettext of the marked texts failed"
latin1 --extract-all -o "$tmp/all.pot" || fail "xgettext --extract-all failed"
# Empty strings come out as more entries like the header; they are not texts.
awk 'BEGIN { RS = ""; ORS = "\n\n" } NR == 1 || !/(^|\n)msgid ""\nmsgstr ""$/' "$tmp/all.pot" >"$tmp/texts.pot"
LC_ALL=C.UTF-8 msggrep --msgid --regexp='[ÐÑ]' "$tmp/texts.pot" -o "$tmp/russian.pot" || fail "msggrep failed"
# compare DEF REF: every entry of REF is in DEF (the reverse, entries DEF has beyond, is no fault).
compare() { local out; out="$(msgcmp "$@" 2>&1)" || { grep -v 'is not used' <<<"$out"; return 1; }; }
compare --use-untranslated "$tmp/marked-latin1.pot" "$tmp/russian.pot" || fail "a Russian text is not marked with _() or N_()"
compare --use-untranslated "$root/po/korvani.pot" "$tmp/marked.pot" || fail "po/korvani.pot is out of date: run po/extract --update"

grep -v '^#' "$root/po/LINGUAS" | while read -r lang; do
  [ -n "$lang" ] || continue
  stats="$(msgfmt --check --statistics -o /dev/null "$root/po/$lang.po" 2>&1)" || { echo "translations: $lang: $stats"; exit 1; }
  echo "$lang: $stats"
  case "$stats" in *fuzzy* | *untranslated*) echo "translations: $lang.po is not complete"; exit 1 ;; esac
  compare "$root/po/$lang.po" "$root/po/korvani.pot" || { echo "translations: $lang.po lacks entries of the template"; exit 1; }
done || status=1
exit "$status"
