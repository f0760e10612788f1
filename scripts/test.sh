#!/usr/bin/env bash
# Sets up, builds and runs every test; then does it again under
# AddressSanitizer and UndefinedBehaviorSanitizer; then cross-compiles both
# programs for Windows and tests them under Wine; then the Debian package.
# Each stage has a build folder of its
# own, so the folder that scripts/run.sh builds (tests off) is never reused
# here. Exits non-zero on any failure, and when a test stage finds no test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh test

export QT_QPA_PLATFORM=offscreen
JOBS=$(nproc)

# Configures FOLDER with the tests on whatever it held before, builds it and
# runs its tests; a stage without tests fails.
test_stage() {
  local folder=$1
  shift
  cmake -S . -B "$folder" -G Ninja -DQUARNEL_TESTS=ON "$@" >/dev/null
  cmake --build "$folder" -j "$JOBS"
  ctest --test-dir "$folder" --output-on-failure --no-tests=error -j "$JOBS"
}

echo "== build and test"
test_stage build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo

echo "== build and test under ASan and UBSan"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  test_stage build-asan -DCMAKE_BUILD_TYPE=Debug -DQUARNEL_SANITIZE=ON

echo "== cross-compile both programs for Windows"
scripts/cross-windows.sh

# ---- Windows: the cross build's tests and programs under Wine ----
scripts/test-windows.sh

echo "== build, check, install and remove the Debian package"
scripts/test-package.sh
