#!/usr/bin/env bash
# Installs what a profile needs on Debian 12. Idempotent: only missing
# packages are installed. Not root: prints the apt line and stops.
#   scripts/setup.sh tool      build and start the window (scripts/run.sh)
#   scripts/setup.sh package   the above, and what building the Debian package
#                              needs (scripts/package.sh)
#   scripts/setup.sh windows   the cross build and the Windows installer
#                              (scripts/package-windows.sh)
#   scripts/setup.sh test      all of the above, and what the test stages need
#                              (scripts/test.sh); the default
set -euo pipefail

# One list per concern; PROFILE_LISTS says which lists a profile installs.
# A new stage adds its list and a profile line (or joins an existing one).
TOOL_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev
  fonts-liberation2  # a sans-serif face of the widths the window's layout was drawn for
)
TEST_PACKAGES=(
  libgtest-dev
  qt6-base-private-dev  # a window test reads the title the system shows, as the toolkit makes it
  g++-mingw-w64-x86-64  # the cross-compile stage of both programs for Windows
)
PACKAGE_PACKAGES=(
  dpkg-dev  # dpkg-shlibdeps computes the package's dependencies from the binaries
  file      # CPack finds the binaries to hand to dpkg-shlibdeps with it
)
PACKAGE_CHECK_PACKAGES=(
  lintian desktop-file-utils appstream  # the package and its desktop files pass the checkers
)
WINE_PACKAGES=(
  wine  # runs the Windows build's tests and quarnel-cli.exe (scripts/test-windows.sh)
  xvfb  # a display of its own for the Win32 window under Wine
)
WINDOWS_PACKAGES=(
  cmake ninja-build g++-mingw-w64-x86-64  # the cross build (scripts/cross-windows.sh)
  nsis  # makes the installer (scripts/package-windows.sh)
)

# profile -> the lists it installs, in order
declare -A PROFILE_LISTS=(
  [tool]="TOOL_PACKAGES"
  [package]="TOOL_PACKAGES PACKAGE_PACKAGES"
  [windows]="WINDOWS_PACKAGES"
  [test]="TOOL_PACKAGES TEST_PACKAGES PACKAGE_PACKAGES PACKAGE_CHECK_PACKAGES WINE_PACKAGES WINDOWS_PACKAGES"
)

profile=${1:-test}
if [[ -z "${PROFILE_LISTS[$profile]+set}" ]]; then
  echo "usage: scripts/setup.sh [$(echo "${!PROFILE_LISTS[@]}" | tr ' ' '|')]" >&2
  exit 2
fi

packages=()
for list in ${PROFILE_LISTS[$profile]}; do
  declare -n items="$list"
  packages+=("${items[@]}")
  unset -n items
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages. Run as root:" >&2
  echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
  exit 1
fi

echo "Installing ($profile): ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}"
