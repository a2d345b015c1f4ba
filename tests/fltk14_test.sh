#!/usr/bin/env bash
# Runs the window tests, the scale tests, the Wayland tests and the real executable's tests of a build
# against FLTK 1.4 (scripts/fltk14 makes one). A test skipped there counts as failed: against 1.4 every
# scale test runs.
set -uo pipefail
build="$1"
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
ctest --test-dir "$build" --output-on-failure -j 2 \
  -R '^((About|BoardView|DrawOrigin|DrawPaint|DrawText|English|GameFlow|Icon|MainWindow|Message|RatingFile|Rules|RulesOnScreen|Session)\.|scale\.|rules_screen\.|wayland\.|options$|e2e_first_move$)' \
  2>&1 | tee "$log"
status="${PIPESTATUS[0]}"
grep -q '^FLTK 1\.4' "$build/fltk-version.txt" || { echo "fltk14: $build is not built against FLTK 1.4"; exit 1; }
! grep -q 'tests did not run' "$log" || { echo "fltk14: tests were skipped against FLTK 1.4"; exit 1; }
grep -q '100% tests passed' "$log" || { echo "fltk14: not every test passed"; exit 1; }
exit "$status"
