#!/usr/bin/env bash
# The Windows stage: what is built for Windows, run under Wine.
#   1. build: the cross build with its tests (scripts/cross-windows.sh
#      --tests) and the Linux side of the Wine tests (build-test);
#   2. prefix: a Wine prefix of its own in build-win/wineprefix;
#   3. tests: the pure tests through CTest with Wine as the emulator, then
#      tests/wine from Linux: the Win32 port back end through port-agent.exe
#      and quarnel-cli.exe against the simulated controller;
#   4. installer: the setup and the zip (scripts/test-windows-installer.sh).
# Prints the time of each step. Without Wine it says so in one line and
# stops; under CI (CI=true) a missing Wine is a failure.
# QUARNEL_BUILD_WIN and QUARNEL_BUILD_TEST name other build folders (default
# build-win and build-test), so that several checkouts' stages can run side by side.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_WIN=${QUARNEL_BUILD_WIN:-build-win}
BUILD_TEST=${QUARNEL_BUILD_TEST:-build-test}
export QUARNEL_BUILD_WIN=$BUILD_WIN

if ! command -v wine >/dev/null; then
  if [[ "${CI:-}" == true ]]; then
    echo "Windows stage: wine is missing (scripts/setup.sh test installs it)" >&2
    exit 1
  fi
  echo "== Windows stage skipped: wine is not installed (scripts/setup.sh test installs it)"
  exit 0
fi

JOBS=$(nproc)
WINE_BOOT_LIMIT=300   # seconds; a first prefix takes about 10
WINE_TOOL_LIMIT=60    # seconds, for wineserver and a later wineboot
WINE_TESTS_LIMIT=600  # seconds, for all of tests/wine

export WINEPREFIX=$PWD/$BUILD_WIN/wineprefix
export QUARNEL_WINDOWS_BUILD=$PWD/$BUILD_WIN
# No debug output, and no offer to install .NET or a browser engine.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
ready_mark=$WINEPREFIX/.quarnel-ready
no_port=$WINEPREFIX/no-port

step_start=$SECONDS
declare -A step_secs=()
end_step() {
  step_secs[$1]=$((SECONDS - step_start))
  step_start=$SECONDS
}

echo "== Windows: build"
scripts/cross-windows.sh --tests
cmake -S . -B "$BUILD_TEST" -G Ninja -DQUARNEL_TESTS=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_TEST" -j "$JOBS" --target wine_tests
end_step build

echo "== Windows: Wine prefix"
# A server left from a run that was cut short goes first; a prefix that was
# never finished is made afresh.
timeout "$WINE_TOOL_LIMIT" wineserver -k </dev/null >/dev/null 2>&1 || true
[[ -f "$ready_mark" ]] || rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
# A persistent server before any other Wine call, its output to /dev/null:
# Wine's helper processes would otherwise inherit the first caller's output
# and keep a pipe open after that caller ends.
timeout "$WINE_TOOL_LIMIT" wineserver -p </dev/null >/dev/null 2>&1
# The Win32 window needs an X display: a virtual one of the stage's own, on
# the first free number, so the stage neither needs nor disturbs a desktop.
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" </dev/null >/dev/null 2>&1 &
xvfb_pid=$!
cleanup() {
  timeout "$WINE_TOOL_LIMIT" wineserver -k </dev/null >/dev/null 2>&1 || true
  kill "$xvfb_pid" 2>/dev/null || true
  rm -f "$display_file"
}
trap cleanup EXIT
for _ in $(seq 100); do [[ -s "$display_file" ]] && break; sleep 0.1; done
if [[ ! -s "$display_file" ]]; then
  echo "Windows stage: Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=:$(head -n1 "$display_file")
if [[ -f "$ready_mark" ]]; then
  timeout "$WINE_TOOL_LIMIT" wineboot </dev/null >/dev/null 2>&1
else
  timeout "$WINE_BOOT_LIMIT" wineboot -i </dev/null >/dev/null 2>&1
  touch "$ready_mark"
fi
# Wine serves the host's serial devices as COM ports (COM1 is /dev/ttyS0)
# and still opens one after its link is removed. A link to a folder does not
# open, so no search here ever probes the host's ports.
mkdir -p "$no_port"
for link in "$WINEPREFIX"/dosdevices/com*; do
  if [[ -L "$link" ]]; then ln -sfn "$no_port" "$link"; fi
done
end_step prefix

echo "== Windows: tests"
ctest --test-dir "$BUILD_WIN" --output-on-failure --no-tests=error -j "$JOBS"
timeout --kill-after=10 "$WINE_TESTS_LIMIT" "$BUILD_TEST"/tests/wine/wine_tests
end_step tests

echo "== Windows: installer and zip"
scripts/test-windows-installer.sh
end_step installer

echo "== Windows stage: build ${step_secs[build]} s, prefix ${step_secs[prefix]} s, tests ${step_secs[tests]} s, installer ${step_secs[installer]} s"
