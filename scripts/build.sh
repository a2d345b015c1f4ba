# shellcheck shell=bash
# Sourced by the scripts that build the game with its tests (scripts/test, scripts/fltk14): the one way
# they configure and build it.

korvani_source="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# build_suite FOLDER [CMAKE_OPTION ...] [-- TARGET ...]: configures the game and its tests from this
# clone into FOLDER with the options given, and builds on every core the targets given, or all of them.
build_suite() {
  local folder=$1
  shift
  local options=() targets=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do
    options+=("$1")
    shift
  done
  if [ $# -gt 0 ]; then
    shift
    targets=(--target "$@")
  fi
  cmake -S "$korvani_source" -B "$folder" "${options[@]}" >/dev/null &&
    cmake --build "$folder" -j "$(nproc)" "${targets[@]}"
}
