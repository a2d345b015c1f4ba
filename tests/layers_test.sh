#!/usr/bin/env bash
# The layers as the build means them: every source's includes read against the one table below. An
# include that the table does not allow fails the test, named by its file and line.
#
#   tests/layers_test.sh [SOURCE_ROOT]
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
cd "$root"

# Which layer a file belongs to (the first row whose pattern matches its path names it) and which layers
# it may include. The core is trace -> model -> engine, each seeing only those below it; the toolkit's
# headers (FLTK, and the X11 and Wayland calls under it) are for the window side, its tests and the
# window's start-up benchmark.
table='
# layer      may include                                            files
trace        trace                                                  support/common.h support/common.cpp
model        trace model                                            model/*
engine       trace model engine                                     engine/*
language     trace language                                         support/i18n* support/catalog.*
session      trace model engine language session                    app/flow.* app/state.* app/rating_*
ui           trace model engine language session ui toolkit         support/* app/*
tools        trace model engine tools                               tools/*
bench        trace model engine bench toolkit                       bench/*
headless     trace model engine language session                    soak/* fuzz/*
core_tests   trace model engine core_tests                          tests/model/* tests/engine/* tests/support/common_test.cpp tests/test_board.*
tests        trace model engine language session ui toolkit tools core_tests tests   tests/*
toolkit      -                                                      <FL/*> <X11/*> <wayland-*>
'
# The one edge upward, and why: the game record plays the computer's moves and asks the engine for the
# end test and the group analysis, and the text rendering beside it prints that analysis (the design
# keeps both in model/). Nothing else in model/ reaches the engine.
exception_files='model/game.h model/game.cpp model/print.h model/print.cpp'
exception_layer=engine

# The table read once: each row's patterns (the words with a "/" or a "<") and the layers it may include.
set -f
rows_layer=() rows_allowed=() rows_patterns=()
while read -r layer rest; do
  allowed=" " patterns=""
  for word in $rest; do
    if [[ "$word" == */* || "$word" == \<* ]]; then patterns+="$word "; else allowed+="$word "; fi
  done
  rows_layer+=("$layer") rows_allowed+=("$allowed") rows_patterns+=("$patterns")
done < <(grep -v '^#' <<<"$table" | grep .)

# row_of PATH: the index of the first row that holds a file of the source (or an angle include, written
# <...>); nothing for a header of the system or the compiler.
row_of() {
  local row pattern
  for row in "${!rows_layer[@]}"; do
    for pattern in ${rows_patterns[$row]}; do
      # shellcheck disable=SC2053  # the pattern is a glob
      [[ "$1" == $pattern ]] && { echo "$row"; return; }
    done
  done
  return 0
}

failures=0
checked=0
while IFS= read -r file; do
  row="$(row_of "$file")"
  [ -n "$row" ] || { echo "$file: in no layer of the table" >&2; failures=$((failures + 1)); continue; }
  from="${rows_layer[$row]}" allowed="${rows_allowed[$row]}"
  while IFS=: read -r line text; do
    if [[ "$text" =~ \"([^\"]+)\" ]]; then
      target="${BASH_REMATCH[1]}"
      # A name beside the including file first, as the compiler looks, then from the source's root.
      [ -f "$(dirname "$file")/$target" ] && target="$(dirname "$file")/$target"
      [ -f "$target" ] || { echo "$file:$line: includes \"${BASH_REMATCH[1]}\", which is no file of the source" >&2
        failures=$((failures + 1)); continue; }
      target="$(realpath --relative-to=. "$target")"
    elif [[ "$text" =~ \<([^\>]+)\> ]]; then
      target="<${BASH_REMATCH[1]}>"
    else
      continue
    fi
    checked=$((checked + 1))
    to="$(row_of "$target")"
    [ -n "$to" ] || continue
    to="${rows_layer[$to]}"
    [[ "$allowed" == *" $to "* ]] && continue
    [ "$to" = "$exception_layer" ] && [[ " $exception_files " == *" $file "* ]] && continue
    echo "$file:$line: includes $target: $from ($file) may not include $to" >&2
    failures=$((failures + 1))
  done < <(grep -n '^[[:space:]]*#[[:space:]]*include' "$file" || true)
done < <(find support model engine app tools bench soak fuzz tests -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.inc' \) | sort)

echo "layers: $checked includes read, $failures not allowed"
[ "$failures" -eq 0 ]
