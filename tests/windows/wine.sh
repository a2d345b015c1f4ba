# Wine for the Windows build's tests, sourced: the programs, the shared session's settings, and a wait
# for every Wine program to end.
#   KORVANI_WINE   the session's folder (tests/windows/wine-session makes it); unset: the caller's own
#                  WINEPREFIX and DISPLAY are used as they are

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
if [ -n "${KORVANI_WINE:-}" ]; then
  [ -f "$KORVANI_WINE/env" ] || { echo "no Wine session in $KORVANI_WINE (win.session.start makes it)" >&2; exit 1; }
  . "$KORVANI_WINE/env"
fi

# Waits until every Wine program has ended; one left over (a game whose test failed half way) is ended
# after 60 s, so that the next test starts clean.
wine_settle() {
  timeout 60 "$wineserver" -w && return 0
  echo "Wine programs still ran after 60 s: ended"
  timeout 30 "$wineserver" -k
  timeout 60 "$wineserver" -w
}
