#!/usr/bin/env bash
# Runs a Windows program of the cross-build under Wine, for CTest:
#   run-under-wine.sh <wine> <program.exe> [arguments...]
# with WINEPREFIX set. It ends with the program's status and passes on its
# output, stdout and stderr apart.
#
# Now and then Wine fails to start a program at all: the run ends within a
# hundredth of a second, with a failing status and nothing on stdout, and on
# stderr nothing or only Wine's own complaint ("wine client error:0:
# recvmsg: Connection reset by peer", when its server went away). A test
# program never does that once it runs: GoogleTest prints, and flushes, a
# line on stdout before the first test starts. Such a run is started once
# more, and noted in wine-relaunches.log beside the prefix, so that a CI log
# can show how often Wine did it. A run that printed anything of its own, or
# ended well, is never repeated, and a second launch failure is the run's
# result.
set -u
# Wine takes file names from the system in the locale's character set: under
# LANG=C, a 7-bit one, 'café' would reach a test as 'cafC).txt'. A UTF-8
# locale, whatever the caller's.
export LC_ALL=C.UTF-8
wine=$1
shift
log="$(dirname "${WINEPREFIX:-$HOME/.wine}")/wine-relaunches.log"
dir=$(mktemp -d) || exit 125
trap 'rm -rf "$dir"' EXIT

for attempt in 1 2; do
  "$wine" "$@" > "$dir/out" 2> "$dir/err"
  status=$?
  if [ "$status" -eq 0 ] || [ -s "$dir/out" ] || grep -qv '^wine' "$dir/err" ||
     [ "$attempt" -eq 2 ]; then
    break
  fi
  echo "$(date -u +%FT%TZ) status $status, no output of its own ($(head -c 200 "$dir/err" | tr '\n' ' ')), started again: $*" >> "$log"
done
cat "$dir/out"
cat "$dir/err" >&2
if [ "$status" -ne 0 ]; then
  echo "(under Wine, the program ended with status $status)" >&2
fi
exit "$status"
