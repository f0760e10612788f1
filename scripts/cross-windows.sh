#!/usr/bin/env bash
# Cross-compiles the layers below the window (serial port, rules, loader)
# for Windows with MinGW-w64, so that the Win32 serial backend keeps
# compiling. Builds everything that needs neither Qt nor the tests; nothing
# is run.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  echo "MinGW-w64 cross compiler missing: run scripts/setup.sh test (package g++-mingw-w64-x86-64)" >&2
  exit 1
fi

# The toolchain counts only when the folder is first configured.
TOOLCHAIN=()
[ -f build-win/CMakeCache.txt ] || TOOLCHAIN=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake)

cmake -S . -B build-win -G Ninja "${TOOLCHAIN[@]}" \
  -DCMAKE_BUILD_TYPE=Release \
  -DQUARNEL_WITH_QT=OFF -DQUARNEL_TESTS=OFF >/dev/null
cmake --build build-win -j "$(nproc)"

# Linked statically (see the toolchain file): no program may need MinGW's
# runtime DLLs, which a bare Windows machine lacks.
status=0
while IFS= read -r -d '' exe; do
  if x86_64-w64-mingw32-objdump -p "$exe" | grep -iE 'DLL Name: (libstdc\+\+|libgcc|libwinpthread)'; then
    echo "$exe needs MinGW's runtime DLLs" >&2
    status=1
  fi
done < <(find build-win -name '*.exe' -not -path '*/CMakeFiles/*' -print0)
exit "$status"
