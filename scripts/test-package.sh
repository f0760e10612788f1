#!/usr/bin/env bash
# The Debian package as a user gets it: builds it (scripts/package.sh),
# checks it with lintian (errors fail), installs it with apt-get, runs the
# installed programs without a display, checks the desktop entry, icon,
# AppStream metadata and man pages, then removes it and checks that its
# files are gone. Installs packages, so it runs as root. However it ends,
# the package does not stay installed.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGE=quarnel
WINDOW_START_SECONDS=5  # the installed window must still be running after this

if [ "$(id -u)" -ne 0 ]; then
  echo "test-package.sh: installs and removes a package; run it as root" >&2
  exit 1
fi
installed() { dpkg-query -W -f='${Status}' "$PACKAGE" 2>/dev/null | grep -q "install ok installed"; }
if installed; then
  echo "test-package.sh: $PACKAGE is installed already; remove it first (apt-get remove $PACKAGE)" >&2
  exit 1
fi

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
# The installed programs as a user starts them where no display is reachable.
no_display() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@"; }

scripts/setup.sh test
scripts/package.sh
debs=(build-pkg/"$PACKAGE"_*.deb)  # package.sh leaves exactly one
deb=${debs[0]}
version=$(dpkg-deb -f "$deb" Version)
echo "-- $deb"
dpkg-deb -f "$deb" Depends Recommends Installed-Size

echo "-- lintian"
lintian --allow-root --fail-on error --display-info "$deb" || fail "lintian reports errors"

remove_leftover() {
  if installed; then
    echo "test-package.sh: removing $PACKAGE left installed" >&2
    apt-get remove -y -qq "$PACKAGE" >/dev/null || true
  fi
}
trap remove_leftover EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

echo "-- install"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$deb"
installed || { fail "apt-get did not install $PACKAGE"; exit 1; }
mapfile -t files < <(dpkg -L "$PACKAGE" | while read -r f; do [[ -f "$f" ]] && echo "$f"; done)

echo "-- installed programs"
out=$(no_display /usr/bin/quarnel --version 2>&1) || fail "quarnel --version exits $?"
[[ "$out" == "quarnel $version" ]] || fail "quarnel --version printed '$out', not 'quarnel $version'"
no_display /usr/bin/quarnel --help | grep -q '^Usage: quarnel' || fail "quarnel --help prints no usage"
# The window itself opens on a display-less platform and keeps running.
rc=0
QT_QPA_PLATFORM=offscreen timeout "$WINDOW_START_SECONDS" /usr/bin/quarnel >/dev/null 2>&1 || rc=$?
[[ $rc -eq 124 ]] || fail "the installed window ended with $rc before $WINDOW_START_SECONDS s"
out=$(no_display /usr/bin/quarnel-cli --version 2>&1) || fail "quarnel-cli --version exits $?"
[[ "$out" == "quarnel-cli $version" ]] || fail "quarnel-cli --version printed '$out', not 'quarnel-cli $version'"
[[ -f /usr/share/man/man1/quarnel-cli.1.gz ]] || fail "quarnel-cli's man page is missing"
[[ -f /usr/share/man/man1/quarnel.1.gz ]] || fail "quarnel's man page is missing"

echo "-- desktop entry, icon, metainfo"
entry=/usr/share/applications/quarnel.desktop
if [[ -f "$entry" ]]; then
  checked=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate exits $?"
  [[ -z "$checked" ]] || fail "desktop-file-validate: $checked"
  exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
  [[ -x "/usr/bin/$exec_name" ]] || fail "the entry starts '$exec_name', not an installed program"
  icon=$(sed -n 's/^Icon=//p' "$entry")
  for f in "/usr/share/icons/hicolor/scalable/apps/$icon.svg" "/usr/share/icons/hicolor/256x256/apps/$icon.png"; do
    [[ -s "$f" ]] || fail "the entry's icon $f is missing"
  done
else
  fail "$entry is missing"
fi
metainfo=$(printf '%s\n' "${files[@]}" | grep '^/usr/share/metainfo/.*\.metainfo\.xml$' || true)
if [[ -n "$metainfo" ]]; then
  appstreamcli validate --no-net $metainfo || fail "appstreamcli rejects $metainfo"
else
  fail "no AppStream metadata in /usr/share/metainfo"
fi

echo "-- remove"
DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq "$PACKAGE"
! installed || fail "$PACKAGE is still installed after apt-get remove"
for f in "${files[@]}"; do
  [[ ! -e "$f" ]] || fail "$f is left after apt-get remove"
done

if ((failures > 0)); then
  echo "package stage: $failures check(s) failed" >&2
  exit 1
fi
echo "package stage: passed (${#files[@]} files installed and removed)"
