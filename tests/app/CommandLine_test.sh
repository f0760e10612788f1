#!/usr/bin/env bash
# quarnel --help, -h and --version print and exit 0 without a display (none
# is reachable here: a window would fail to open); other arguments are left
# to the toolkit.
#   CommandLine_test.sh PATH-OF-quarnel VERSION
set -u
program=$1
version=$2
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
no_display() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@"; }

out=$(no_display "$program" --version 2>&1) || fail "--version exits $?"
[[ "$out" == "quarnel $version" ]] || fail "--version printed '$out', not 'quarnel $version'"

# Each line: the arguments of one call that must print the help.
while read -r -a args; do
  out=$(no_display "$program" "${args[@]}" 2>&1) || fail "'${args[*]}' exits $?"
  grep -q '^Usage: quarnel ' <<<"$out" || fail "'${args[*]}' printed no usage: $out"
  grep -q -- '--version' <<<"$out" || fail "'${args[*]}': help does not list --version"
done <<'CASES'
--help
-h
-style fusion --help
--help --version
CASES

exit $((failures > 0))
