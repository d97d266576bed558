#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# command_line.sh: the tools' command lines as users meet them: exit statuses, standard output
# and standard error. BIN, DATA, VERSION and TELO_SIM come from the environment (see
# CMakeLists.txt beside this file). It runs in a folder without etc/, so that telo-decode takes
# the engine settings from beside bin/, as an installed copy does from its prefix.
set -euo pipefail

tmp=$(mktemp -d "${TMPDIR:-/tmp}/command_line.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"
failures=0

# check STATUS OUT ERR COMMAND...: OUT is the whole standard output, with each decoding time
# written as MS; ERR is a text that standard error must hold, or "" for an empty one.
check() {
    local status=$1 out=$2 err=$3 got=0
    shift 3
    "$@" >out.txt 2>err.txt || got=$?
    local got_out
    got_out=$(sed -E 's/\t[0-9]+\.[0-9]\t/\tMS\t/' out.txt)
    if [ "$got" != "$status" ] || [ "$got_out" != "$out" ] ||
        if [ -z "$err" ]; then [ -s err.txt ]; else ! grep -qF -- "$err" err.txt; fi; then
        echo "FAILED: ${*#"$BIN/"}: status $got, standard output:" >&2
        cat out.txt >&2
        echo "standard error:" >&2
        cat err.txt >&2
        failures=$((failures + 1))
    fi
}

decode=$BIN/telo-decode
cp "$DATA/qr_hello.png" "$DATA/black.png" .
zint -b QRCODE --binary --esc -d 'A\tB\\\0\xE9' --scale=4 -o binary.png
convert qr_hello.png -resize 200x150 small.png
echo "not an image" >garbage.png
printf 'P5\n8000 8000\n255\n' >huge.pgm
hello=$'qr_hello.png\t1\t13\tMS\tHELLO-TELO-42'

#     status  standard output                        standard error    command
check 0 "$hello"                                     ""               "$decode" qr_hello.png
check 1 $'binary.png\t1\t6\tMS\tA\\tB\\\\\\x00\\xE9\nblack.png\tnone' "" "$decode" binary.png black.png
check 0 $'HELLO-TELO-42\nHELLO-TELO-42'              ""               "$decode" --raw qr_hello.png small.png
check 1 ""                                           ""               "$decode" --raw black.png
# An unreadable or oversized image gets no line; its status outranks a missing code's.
check 3 "$hello"                                     "garbage.png:"   "$decode" garbage.png qr_hello.png
check 3 $'black.png\tnone'                           "8000 x 8000"    "$decode" huge.pgm black.png
# --symbologies replaces the settings' formats (the small image is scaled to fit the frame).
check 1 $'small.png\tnone'                           ""               "$decode" --symbologies 3,16 small.png
check 0 $'small.png\t1\t13\tMS\tHELLO-TELO-42'       ""               "$decode" --symbologies 3,1 small.png
check 2 ""                                           "no image"       "$decode"
check 2 ""                                           "'qr_hello.png'" "$decode" --symbologies qr_hello.png
check 2 ""                                           "'18'"           "$decode" --symbologies 18 qr_hello.png
check 2 ""                                           "'1,,2'"         "$decode" --symbologies 1,,2 qr_hello.png
check 2 ""                                           "/none.json"     "$decode" --settings /none.json qr_hello.png
check 2 ""                                           "'abc'"          "$BIN/telo-devices" --index abc --grab grab.pgm
check 2 ""                                           "'blue'"         "$BIN/telo-scan" --led blue
check 2 ""                                           "'20x'"          "$BIN/telo-scan" --beep 20x
for tool in telo-decode telo-devices telo-scan; do
    check 0 "$tool $VERSION"                         ""               "$BIN/$tool" --version
    check 2 ""                                       "'$tool --help'" "$BIN/$tool" --bogus
    "$BIN/$tool" --help >help.txt 2>&1 && grep -q "^Usage: $tool " help.txt ||
        { echo "FAILED: $tool --help" >&2 && failures=$((failures + 1)); }
done
[ ! -e grab.pgm ] || { echo "FAILED: a refused --index grabbed a frame" >&2 && exit 1; }

# telo-devices on the simulated scanner: the listing alone on standard output, the library's
# lines from opening the camera on standard error.
"$TELO_SIM" --root sim run -- "$BIN/telo-devices" --grab grab.pgm >out.txt 2>err.txt ||
    { cat err.txt >&2 && exit 1; }
grep -qE $'^0\tvideo0\t.*\t\\[scanner\\]$' out.txt && [ "$(wc -l <out.txt)" = 1 ] &&
    grep -q "^size = " err.txt && [ "$(head -c 2 grab.pgm)" = P5 ] ||
    { echo "FAILED: telo-devices --grab:" >&2 && cat out.txt err.txt >&2 && exit 1; }

[ "$failures" = 0 ] || { echo "$failures failed" >&2 && exit 1; }
echo "command_line: every case as expected"
