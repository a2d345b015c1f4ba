#!/usr/bin/env bash
# scripts/run with a stand-in cmake that "configures" against the FLTK given: against FLTK 1.3 it says so in
# one line naming scripts/fltk14, against 1.4 nothing; either way it starts the game with the arguments.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/root/scripts" "$work/bin"
cp "$here/../scripts/run" "$here/../scripts/packages.sh" "$work/root/scripts/"
cat >"$work/bin/cmake" <<'STANDIN'
#!/usr/bin/env bash
# Configuring writes the version file and a game that says how it was started; building does nothing.
while [ $# -gt 0 ]; do
  if [ "$1" = -B ]; then
    mkdir -p "$2/app"
    echo "FLTK $STANDIN_FLTK" >"$2/fltk-version.txt"
    printf '#!/bin/sh\necho "started $*"\n' >"$2/app/korvani"
    chmod +x "$2/app/korvani"
  fi
  shift
done
STANDIN
chmod +x "$work/bin/cmake"
for fltk in 1.3 1.4; do
  out="$(STANDIN_FLTK=$fltk PATH="$work/bin:$PATH" "$work/root/scripts/run" -geometry +5+5 2>"$work/err")"
  [ "$out" = "started -geometry +5+5" ] || { echo "run ($fltk): the game was not started as asked: $out"; exit 1; }
  said="$(grep -c 'FLTK 1\.3' "$work/err" || true)"
  if [ "$fltk" = 1.3 ]; then
    [ "$said" = 1 ] && grep -q 'FLTK 1\.3.*scripts/fltk14' "$work/err" ||
      { echo "run: against FLTK 1.3, not one line naming it and scripts/fltk14:"; cat "$work/err"; exit 1; }
  else
    [ "$said" = 0 ] || { echo "run: against FLTK 1.4 it speaks of 1.3:"; cat "$work/err"; exit 1; }
  fi
done
echo "run: ok"
