#!/usr/bin/env bash
# Builds the Windows artefacts from the cross build (scripts/cross-windows.sh)
# into build-win/package/:
#   quarnel-<version>-setup.exe    the installer (NSIS, packaging/windows/quarnel.nsi)
#   quarnel-<version>-windows.zip  both programs and a readme in one folder
# The version is the one project() gives the build. Prints both paths last.
# QUARNEL_BUILD_WIN names another build folder (default build-win).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_WIN=${QUARNEL_BUILD_WIN:-build-win}
scripts/setup.sh windows
scripts/cross-windows.sh

PROGRAMS=(app/quarnel.exe cli/quarnel-cli.exe)
ICON=packaging/icons/quarnel.ico
for f in "${PROGRAMS[@]/#/$BUILD_WIN/}" "$ICON"; do
  if [[ ! -f "$f" ]]; then
    echo "package-windows.sh: $f is missing" >&2
    exit 1
  fi
done

# The generated header holds the version the programs were built with.
version=$(sed -n 's/.*cQuarnelVersion = "\([^"]*\)".*/\1/p' "$BUILD_WIN/generated/QuarnelVersion.h")
if [[ ! "$version" =~ ^[0-9]+(\.[0-9]+){1,2}$ ]]; then
  echo "package-windows.sh: no version in $BUILD_WIN/generated/QuarnelVersion.h" >&2
  exit 1
fi
out=$PWD/$BUILD_WIN/package
setup=$out/quarnel-$version-setup.exe
zip_name=quarnel-$version-windows
zip=$out/$zip_name.zip
rm -rf "$out"
mkdir -p "$out/$zip_name"

makensis -V2 -WX -NOCD \
  "-DVERSION=$version" "-DBUILD_DIR=$PWD/$BUILD_WIN" \
  "-DICON=$PWD/$ICON" "-DOUT_FILE=$setup" \
  packaging/windows/quarnel.nsi

cp "${PROGRAMS[@]/#/$BUILD_WIN/}" "$out/$zip_name/"
# Windows line ends, so that Notepad of any age shows the lines.
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' packaging/windows/README.txt >"$out/$zip_name/README.txt"
(cd "$out" && cmake -E tar cf "$zip" --format=zip "$zip_name")
rm -rf "${out:?}/$zip_name"

echo "$setup"
echo "$zip"
