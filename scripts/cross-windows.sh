#!/usr/bin/env bash
# Cross-compiles the layers below the window (serial port, rules, loader)
# for Windows with MinGW-w64, statically linked, into build-win.
#   scripts/cross-windows.sh           everything that needs no Qt
#   scripts/cross-windows.sh --tests   also the Windows tests and the port
#                                      agent, which scripts/test-windows.sh
#                                      runs under Wine
# Without --tests a folder keeps the tests it was last configured with.
# QUARNEL_BUILD_WIN names another folder (default build-win).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_WIN=${QUARNEL_BUILD_WIN:-build-win}

if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  echo "MinGW-w64 cross compiler missing: run scripts/setup.sh test (package g++-mingw-w64-x86-64)" >&2
  exit 1
fi

# The toolchain counts only when the folder is first configured.
OPTIONS=()
[ -f "$BUILD_WIN/CMakeCache.txt" ] || OPTIONS=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DQUARNEL_TESTS=OFF)
if [[ "${1:-}" == "--tests" ]]; then
  OPTIONS+=(-DQUARNEL_TESTS=ON)
fi

cmake -S . -B "$BUILD_WIN" -G Ninja "${OPTIONS[@]}" \
  -DCMAKE_BUILD_TYPE=Release \
  -DQUARNEL_WITH_QT=OFF >/dev/null
cmake --build "$BUILD_WIN" -j "$(nproc)"

# Linked statically (see the toolchain file): no program may need MinGW's
# runtime DLLs, which a bare Windows machine lacks.
status=0
while IFS= read -r -d '' exe; do
  if x86_64-w64-mingw32-objdump -p "$exe" | grep -iE 'DLL Name: (libstdc\+\+|libgcc|libwinpthread)'; then
    echo "$exe needs MinGW's runtime DLLs" >&2
    status=1
  fi
done < <(find "$BUILD_WIN" -name '*.exe' -not -path '*/CMakeFiles/*' -print0)
exit "$status"
