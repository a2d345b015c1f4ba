#!/usr/bin/env bash
# The game's command line, run without a display: --help and --version answer and exit 0, a word that
# is no option gets one line and the usage on the error stream and status 2, and the toolkit's own
# options are taken (with their values) wherever they stand.
set -uo pipefail
game="$1"
unset DISPLAY
usage='usage: korvani [--help] [--version] [toolkit options]'
fail() { echo "options: $*" >&2; exit 1; }

# run ARGS...: sets out, err and status.
run() {
  local dir
  dir="$(mktemp -d)"
  "$game" "$@" >"$dir/out" 2>"$dir/err"
  status=$?
  out="$(cat "$dir/out")"
  err="$(cat "$dir/err")"
  rm -rf "$dir"
}

run --version
[ "$status" -eq 0 ] && [ "$out" = "korvani 1.2" ] && [ -z "$err" ] || fail "--version: $status [$out] [$err]"
run -iconic -geometry +5+5 --version
[ "$status" -eq 0 ] && [ "$out" = "korvani 1.2" ] || fail "toolkit options before --version: $status [$out] [$err]"
run --help
[ "$status" -eq 0 ] && [ -z "$err" ] || fail "--help: $status [$err]"
[ "$(head -n1 <<<"$out")" = "$usage" ] || fail "--help does not begin with the usage line: [$out]"
for option in --version -g -ti -na -di -s -bg2 -not; do
  grep -q -- "^ *$option" <<<"$out" || fail "--help does not list $option"
done

# An answer that cannot be written is said, and fails: a full disk, a closed stream.
for option in --version --help; do
  err="$("$game" "$option" 2>&1 >/dev/full)"
  status=$?
  [ "$status" -eq 1 ] && [ "$err" = "korvani: cannot write the ${option#--}: No space left on device" ] ||
    fail "$option >/dev/full: $status [$err]"
  err="$("$game" "$option" 2>&1 >&-)"
  status=$?
  [ "$status" -eq 1 ] && [ "$err" = "korvani: cannot write the ${option#--}: Bad file descriptor" ] ||
    fail "$option with the standard output closed: $status [$err]"
done

# The toolkit's options come from the command line alone: none of its preference files is written.
home="$(mktemp -d)"
HOME="$home" "$game" -tooltips -notooltips --version >/dev/null || fail "-tooltips -notooltips --version failed"
[ -z "$(ls -A "$home")" ] || fail "the toolkit wrote into HOME: $(find "$home" -type f)"
rm -rf "$home"

# each case: the arguments, then the one error line expected
check_refused() {
  local line="$1"
  shift
  run "$@"
  [ "$status" -eq 2 ] || fail "$*: status $status, not 2"
  [ -z "$out" ] || fail "$*: wrote to the standard output: [$out]"
  [ "$err" = "korvani: $line"$'\n'"$usage" ] || fail "$*: [$err]"
}
check_refused 'unknown option "--bogus"' --bogus
check_refused 'unknown option "-x"' -title "a b" -geometry +5+5 -x --help
check_refused 'option "-geometry" needs a value' -geometry
check_refused 'option "-geometry" cannot take "huge"' -geometry huge
check_refused 'unexpected argument "korvani.ini"' korvani.ini
# X's geometry grammar decides what is a geometry: these are not, and a position the toolkit's int cannot hold.
for value in X500 5x5+5+5+5 = +99999999999+0; do
  check_refused "option \"-geometry\" cannot take \"$value\"" -geometry "$value"
done
# Values the toolkit would copy into its fixed buffers are refused whole, whatever the abbreviation.
long() { printf "%${1}s" | tr ' ' k; }
check_refused 'option "-name" cannot take more than 511 bytes' -name "$(long 512)"
check_refused 'option "-NA" cannot take more than 511 bytes' -NA "$(long 1100)"
check_refused 'option "-di" cannot take more than 1011 bytes' -di "$(long 1012)"
check_refused 'option "-display" cannot take more than 1015 bytes' -display ":$(long 1015)"

# The toolkit's options alone start the game: without a display that is as far as it gets. So do the
# longest values its buffers hold, and geometries in any of X's forms.
for args in "-title test -iconic" "-name $(long 511) -display $(long 1011)" "-display :$(long 1014)" \
  "-geometry =x500-5+5" "-g 500x-5" "-g 0000000000000000000000000000000000000005" "-g ---5"; do
  # shellcheck disable=SC2086
  run $args
  [ "$status" -eq 1 ] && grep -q "Can't open display" <<<"$err" ||
    fail "${args:0:40}... did not start the game: $status [$err]"
done
echo "options: ok"
