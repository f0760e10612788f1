#!/usr/bin/env bash
# make-sample-fw as a user calls it: --help lists the model bytes, every
# refused command line exits 2 and leaves no file behind, an accepted one
# writes the whole image with its model byte.
#   CommandLine_test.sh PATH-OF-make-sample-fw
set -u
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
left_over() { ls -A; }
clean() { find . -mindepth 1 -delete; }

help=$("$tool" --help) || fail "--help exits $?"
grep -Eq '^ +2 +2, 3, 26 +1 x PIC16F886$' <<<"$help" || fail "--help lacks model byte 2"
grep -Eq '^ +128\.\.135 +128\.\.135 +2 x PIC16F886$' <<<"$help" || fail "--help lacks 128..135"
[[ -z "$(left_over)" ]] || fail "--help left files: $(left_over)"
clean

# Each line: the arguments of one refused call (the empty one: none at all).
while read -r -a args; do
  "$tool" "${args[@]}" >/dev/null 2>&1
  rc=$?
  [[ $rc -eq 2 ]] || fail "'${args[*]}' exits $rc, not 2"
  [[ -z "$(left_over)" ]] || fail "'${args[*]}' left files: $(left_over)"
  clean
done <<'CASES'
--bogus
--bogus out.QRV
out.QRV --bogus
-o out.QRV
-out.QRV
out.QRV -1
out.QRV 3
out.QRV 256
out.QRV 2x
out.QRV 2 extra

CASES

# Each line: the path, the model argument ("-": none) and the model byte written.
while read -r path model byte; do
  model_arg=()
  [[ "$model" == - ]] || model_arg=("$model")
  "$tool" "$path" "${model_arg[@]}" >/dev/null || fail "'$path $model' exits $?"
  size=$(stat -c %s "$path" 2>/dev/null)
  [[ "$size" == 20480 ]] || fail "'$path $model' wrote ${size:-no file}, not 20480 bytes"
  got=$(od -An -tu1 -j2 -N1 "$path" 2>/dev/null | tr -d ' ')
  [[ "$got" == "$byte" ]] || fail "'$path $model' model byte ${got:-none}, not $byte"
done <<'CASES'
default.QRV  -     2
hex.QRV      0x80  128
./-dash.QRV  159   159
CASES

exit $((failures > 0))
