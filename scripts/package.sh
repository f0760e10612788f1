#!/usr/bin/env bash
# Builds the Debian package: a Release build of the programs in build-pkg/
# (tests off) with Debian's hardening flags, packed by CPack, its
# dependencies computed by dpkg-shlibdeps. Prints the package's path last.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh package

BUILD=build-pkg
# Every hardening feature, immediate binding included.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all

cmake -S . -B "$BUILD" -G Ninja \
  -DCMAKE_BUILD_TYPE=Release \
  -DQUARNEL_TESTS=OFF -DQUARNEL_SANITIZE=OFF \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$BUILD" -j "$(nproc)"

rm -f "$BUILD"/quarnel_*.deb
(cd "$BUILD" && cpack -G DEB >/dev/null)
debs=("$BUILD"/quarnel_*.deb)
if [[ ${#debs[@]} -ne 1 || ! -f "${debs[0]}" ]]; then
  echo "package.sh: CPack made no single package: ${debs[*]}" >&2
  exit 1
fi
echo "${debs[0]}"
