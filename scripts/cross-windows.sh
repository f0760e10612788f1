#!/usr/bin/env bash
# Cross-compiles the program for Windows with MinGW-w64, statically linked,
# into build-win: the window (app/quarnel.exe, no Qt), quarnel-cli.exe and
# the layers below them.
#   scripts/cross-windows.sh           the programs
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

# Linked statically (see the toolchain file): a program may import only the
# DLLs every Windows system has, never MinGW's runtime DLLs nor anything else
# that a bare Windows machine lacks.
SYSTEM_DLLS='^(kernel32|user32|gdi32|comdlg32|comctl32|shell32|advapi32|uxtheme|ole32|oleaut32|shlwapi|setupapi|cfgmgr32|version|winmm|ws2_32|msvcrt|ucrtbase|api-ms-win-crt-[a-z0-9-]+)\.dll$'
status=0
while IFS= read -r -d '' exe; do
  while read -r dll; do
    if ! grep -qiE "$SYSTEM_DLLS" <<<"$dll"; then
      echo "$exe imports $dll, which is not a DLL of the system" >&2
      status=1
    fi
  done < <(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
done < <(find "$BUILD_WIN" -name '*.exe' -not -path '*/CMakeFiles/*' -not -path '*/wineprefix/*' -print0)
exit "$status"
