#!/usr/bin/env bash
# valgrind's memcheck over scripted window sessions: the session tests run the game, built without
# sanitizers, under memcheck, each under a virtual X server. Every run must end with no invalid read or
# write and no use of uninitialised values (memcheck's exit status 99 fails the session test too).
#   tests/app/valgrind_session.sh <session_tests binary> <korvani built without sanitizers>
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
tests="$(realpath "$1")"
exe="$(realpath "$2")"
logs="$(mktemp -d)"
trap 'rm -rf "$logs"' EXIT
# Some sessions run the game as the user nobody, whose memcheck writes its log here too.
chmod 1777 "$logs"

# Leaks are LeakSanitizer's part; here it is the accesses.
export KORVANI_EXE="$exe"
export KORVANI_RUNNER="valgrind --tool=memcheck --error-exitcode=99 --track-origins=yes --leak-check=no --log-file=$logs/memcheck.%p.log"
# The program runs some ten times slower under memcheck: every wait of the test is that much longer.
export KORVANI_SLOW=10
# The rating file's links, modes and a second copy take the same paths of the game as the sessions kept
# here, and so do the sessions whose standard streams are closed or broken or whose files are limited
# to 0 bytes (the log of memcheck too); they run under the
# sanitizers only, to keep the suite short.
export GTEST_FILTER='-Session.TheGameSurvivesItsStandardStreams:Session.AFileSizeLimitFailsTheSaveButNotTheGame:Session.UserFilesTheLinkAndTheModeOfTheRatingFileStayAsTheyWere:Session.AnUnreadableRatingFileIsNeverReplaced:Session.TwoCopiesInOneFolderKeepTheGamesOfBoth'
status=0
"$here/../with-xvfb" "$tests" || status=1

runs=$(find "$logs" -name 'memcheck.*.log' | wc -l)
errors=$(cat "$logs"/memcheck.*.log 2>/dev/null || true)
errors=$(echo "$errors" | sed -n 's/.*ERROR SUMMARY: \([0-9]*\) errors.*/\1/p' | awk '{s += $1} END {print s + 0}')
echo "memcheck: $runs runs of the program, $errors errors"
if [ "$errors" -ne 0 ]; then
  grep -h -A 25 -E 'Invalid (read|write)|uninitialised|Conditional jump|Syscall param' "$logs"/memcheck.*.log | head -n 150
  status=1
fi
[ "$runs" -gt 0 ] || status=1
exit $status
