#!/usr/bin/env bash
# The Windows installer and zip as a user gets them, under Wine: builds both
# (scripts/package-windows.sh) and checks that the zip holds the programs of
# the build. Then installs silently for all users (the default of an
# administrator, which Wine's user is) and for the current user side by
# side, checks that setup and uninstaller refuse while a program runs,
# uninstalls the per-user install and then the per-machine one, and last
# installs into a folder given with /D=. Each install's programs,
# Start-menu entry and uninstall entry are checked; each uninstall runs the
# entry's QuietUninstallString and must leave nothing of Quarnel, but a
# file of the user's in the folder. Run by scripts/test-windows.sh, which
# prepares the prefix (WINEPREFIX) and keeps a wineserver running.
set -euo pipefail
cd "$(dirname "$0")/.."
: "${WINEPREFIX:?run through scripts/test-windows.sh}"
BUILD_WIN=${QUARNEL_BUILD_WIN:-build-win}
# Wine would otherwise copy the Start-menu entry into the host's menus.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winemenubuilder.exe=d"

WINE_LIMIT=60  # seconds for one Wine program: setup, a --version, reg
WAIT_LIMIT=60  # seconds for the uninstaller's copy in %TEMP% to finish, or a started program to answer
POLL_SECONDS=0.2
UNINSTALL_KEY='Software\Microsoft\Windows\CurrentVersion\Uninstall\Quarnel'
PROGRAMS=(quarnel.exe quarnel-cli.exe)

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
# A Windows program's output, its CR LF line ends made LF.
wine_out() { timeout "$WINE_LIMIT" wine "$@" </dev/null 2>/dev/null | tr -d '\r'; }
# The values of an uninstall key, "name<TAB>data" a line; exits 1 if it is missing.
reg_values() {
  local out
  out=$(wine_out reg query "$1\\$UNINSTALL_KEY") || return 1
  sed -n 's/^ \{4\}\([^ ]\+\) \{4\}REG_[A-Z_]\+ \{4\}\(.*\)$/\1\t\2/p' <<<"$out"
}
wait_until() {
  local deadline=$((SECONDS + WAIT_LIMIT))
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep "$POLL_SECONDS"
  done
}

version=$(sed -n 's/^project(Quarnel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
log=$(mktemp)
scratch=$(mktemp -d)
trap 'rm -rf "$log" "$scratch"' EXIT
scripts/package-windows.sh | tee "$log"
setup=$(tail -n 2 "$log" | head -n 1)
zip=$(tail -n 1 "$log")
[[ "$(basename "$setup")" == "quarnel-$version-setup.exe" ]] || fail "setup is named $setup"

echo "-- zip"
folder=quarnel-$version-windows
(cd "$scratch" && cmake -E tar xf "$zip")
listed=$(cd "$scratch" && find . -type f | sort | tr '\n' ' ')
expected=$(printf "./$folder/%s\n" README.txt "${PROGRAMS[@]}" | sort | tr '\n' ' ')
[[ "$listed" == "$expected" ]] || fail "the zip holds $listed, not $expected"
for program in app/quarnel.exe cli/quarnel-cli.exe; do
  cmp -s "$BUILD_WIN/$program" "$scratch/$folder/${program#*/}" || fail "the zip's ${program#*/} is not the build's"
done

# The folders as this prefix's Windows names them.
mapfile -t windows_dirs < <(wine_out cmd /c 'echo %ProgramFiles%&echo %ProgramData%&echo %LOCALAPPDATA%&echo %APPDATA%')
menu='Microsoft\Windows\Start Menu\Programs'
# setup arguments | registry root | program folder | Start-menu folder | a user's file left in the folder
MODES=(
  "/S|HKLM|${windows_dirs[0]}\\Quarnel|${windows_dirs[1]}\\$menu|notes.txt"
  "/S /CurrentUser|HKCU|${windows_dirs[2]}\\Programs\\Quarnel|${windows_dirs[3]}\\$menu|"
  "/S /AllUsers /D=C:\\Tools\\Quarnel|HKLM|C:\\Tools\\Quarnel|${windows_dirs[1]}\\$menu|"
)

# Sets the fields of MODES[$1], argv from its arguments, and dir and
# shortcut as Linux paths.
declare -A unix_path=()
select_mode() {
  IFS='|' read -r arguments root windows_dir windows_menu user_file <<<"${MODES[$1]}"
  if [[ -z "${unix_path[$1]:-}" ]]; then
    unix_path[$1]=$(wine_out winepath -u "$windows_dir" "$windows_menu\\Quarnel.lnk")
  fi
  { read -r dir; read -r shortcut; } <<<"${unix_path[$1]}"
  read -ra argv <<<"$arguments"
}

check_installed() {
  local program name data want check values other
  for program in "${PROGRAMS[@]}"; do
    [[ -f "$dir/$program" ]] || { fail "$windows_dir\\$program is missing"; continue; }
    out=$(wine_out "$dir/$program" --version) || fail "$program --version exits $?"
    [[ "$out" == "${program%.exe} $version" ]] || fail "$program --version printed '$out'"
  done
  grep -qaF "$windows_dir\\quarnel.exe" "$shortcut" 2>/dev/null || fail "no Start-menu entry $shortcut that starts $windows_dir\\quarnel.exe"

  declare -A value=()
  values=$(reg_values "$root") || fail "no $root uninstall key"
  while IFS=$'\t' read -r name data; do [[ -z "$name" ]] || value[$name]=$data; done <<<"$values"
  uninstaller="\"$windows_dir\\uninstall.exe\""
  # value name | what it must be
  for check in "DisplayName|Quarnel" "DisplayVersion|$version" "InstallLocation|$windows_dir" \
    "DisplayIcon|$windows_dir\\quarnel.exe,0" "UninstallString|$uninstaller" \
    "QuietUninstallString|$uninstaller /S" "NoModify|0x1" "NoRepair|0x1"; do
    IFS='|' read -r name want <<<"$check"
    [[ "${value[$name]:-}" == "$want" ]] || fail "$root $name is '${value[$name]:-}', not '$want'"
  done
  [[ -n "${value[Publisher]:-}" ]] || fail "$root has no Publisher"
  [[ "${value[EstimatedSize]:-}" =~ ^0x0*[1-9a-f][0-9a-f]*$ ]] || fail "$root EstimatedSize is '${value[EstimatedSize]:-}'"
  other=HKCU
  [[ "$root" == HKCU ]] && other=HKLM
  if reg_values "$other" | grep -qixF "InstallLocation"$'\t'"$windows_dir"; then
    fail "$other's uninstall key names $windows_dir"
  fi
}

# Windows keeps a running program's file from being written or deleted, and
# so does Wine. Setup and uninstaller must then fail and change nothing.
# port-agent.exe, a test program that runs until told to quit, stands in for
# a running quarnel-cli.exe of the install last selected.
check_refused_while_running() {
  local agent_exe=$BUILD_WIN/tests/windows/port-agent.exe to_agent agent rc
  echo "-- setup and uninstall while quarnel-cli.exe runs"
  cp "$agent_exe" "$dir/quarnel-cli.exe"
  echo "an earlier version" >"$dir/quarnel.exe"
  cp "$dir/quarnel.exe" "$scratch/earlier.exe"
  mkfifo "$scratch/agent-in"
  QUARNEL_TEST_COM=COM99 timeout "$WINE_LIMIT" wine "$dir/quarnel-cli.exe" \
    <"$scratch/agent-in" >"$scratch/agent-out" 2>/dev/null &
  agent=$!
  exec {to_agent}>"$scratch/agent-in"
  echo hello >&"$to_agent"
  wait_until grep -q '?' "$scratch/agent-out" || fail "the stand-in for a running program did not start"
  rc=0
  timeout "$WINE_LIMIT" wine "$setup" "${argv[@]}" </dev/null >/dev/null 2>&1 || rc=$?
  [[ $rc -eq 2 ]] || fail "setup $arguments while quarnel-cli.exe runs exits $rc, not 2"
  cmp -s "$scratch/earlier.exe" "$dir/quarnel.exe" || fail "setup replaced quarnel.exe, then stopped at the running quarnel-cli.exe"
  rc=0
  timeout "$WINE_LIMIT" wine "$dir/uninstall.exe" /S "_?=$windows_dir" </dev/null >/dev/null 2>&1 || rc=$?
  [[ $rc -eq 2 ]] || fail "the uninstaller while quarnel-cli.exe runs exits $rc, not 2"
  cmp -s "$scratch/earlier.exe" "$dir/quarnel.exe" || fail "the uninstaller removed quarnel.exe, then stopped at the running quarnel-cli.exe"
  echo quit >&"$to_agent"
  exec {to_agent}>&-
  wait "$agent" || true
  cp "$BUILD_WIN/cli/quarnel-cli.exe" "$dir/quarnel-cli.exe"
  cp "$BUILD_WIN/app/quarnel.exe" "$dir/quarnel.exe"
  check_installed
}

install() {
  select_mode "$1"
  echo "-- setup $arguments: $windows_dir"
  timeout "$WINE_LIMIT" wine "$setup" "${argv[@]}" </dev/null >/dev/null 2>&1 || fail "setup $arguments exits $?"
  check_installed
}

uninstall() {
  local quiet_uninstall left
  select_mode "$1"
  quiet_uninstall=$(reg_values "$root" | sed -n 's/^QuietUninstallString\t//p' || true)
  echo "-- uninstall: $quiet_uninstall"
  [[ -z "$user_file" ]] || echo "the user's" >"$dir/$user_file"
  [[ "$quiet_uninstall" =~ ^\"([^\"]+)\"\ (.*)$ ]] || { fail "cannot run '$quiet_uninstall'"; return; }
  read -ra uninstall_argv <<<"${BASH_REMATCH[2]}"
  timeout "$WINE_LIMIT" wine "${BASH_REMATCH[1]}" "${uninstall_argv[@]}" </dev/null >/dev/null 2>&1 || fail "the uninstaller exits $?"
  # The uninstaller starts its copy in %TEMP% and returns at once; the copy
  # deletes uninstall.exe after the programs, the entry and the key, and
  # last the folder if it is empty.
  if [[ -z "$user_file" ]]; then
    wait_until test ! -e "$dir" || fail "$windows_dir is still there after $WAIT_LIMIT s: $(ls -A "$dir" | tr '\n' ' ')"
  else
    wait_until test ! -e "$dir/uninstall.exe" || fail "uninstall.exe is still there after $WAIT_LIMIT s"
    left=$(ls -A "$dir" 2>/dev/null | tr '\n' ' ' || true)
    [[ "$left" == "$user_file " ]] || fail "the uninstaller left '$left' in $windows_dir, not just the user's $user_file"
  fi
  [[ ! -e "$shortcut" ]] || fail "the Start-menu entry $shortcut is left"
  if reg_values "$root" >/dev/null; then fail "the $root uninstall key is left"; fi
  rm -rf "$dir"
}

# What a run cut short may have left would change the setup's defaults.
for i in "${!MODES[@]}"; do
  select_mode "$i"
  rm -rf "$dir" "$shortcut"
  wine_out reg delete "$root\\$UNINSTALL_KEY" /f >/dev/null || true
done

# Per machine and per user side by side; the per-user uninstall must leave
# the per-machine install whole.
install 0
install 1
check_refused_while_running
uninstall 1
select_mode 0
check_installed
uninstall 0
# A folder of one's own.
install 2
uninstall 2

if ((failures > 0)); then
  echo "installer stage: $failures check(s) failed" >&2
  exit 1
fi
echo "installer stage: passed (zip, and ${#MODES[@]} installs and uninstalls)"
