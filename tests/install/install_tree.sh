#!/bin/sh
# SPDX-License-Identifier: MIT
# install_tree.sh BUILD_DIR CONSUMER_DIR: installs BUILD_DIR into a temporary prefix, moves the
# installed tree elsewhere, and checks it there: where the files are, programs built against it
# with pkg-config and with find_package, the installed programs run from another folder, and the
# launcher. The install folders, tools and compiler flags come from the environment (see
# CMakeLists.txt beside this file). HOME and XDG_DATA_HOME point into the temporary folder.
set -eu

build=$1
consumer_src=$2

tmp=$(mktemp -d "${TMPDIR:-/tmp}/install_tree.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
fail() {
    echo "install_tree: $*" >&2
    exit 1
}

# DESTDIR keeps any absolute destination (a system udev folder) inside the temporary folder too.
# Moving the tree afterwards proves that nothing depends on the prefix it was installed for.
prefix=$tmp/prefix
stage=$tmp/stage
DESTDIR=$stage "$CMAKE" --install "$build" --prefix "$prefix" >"$tmp/install.log" ||
    { cat "$tmp/install.log" >&2; fail "cmake --install failed"; }
root=$tmp/moved
mv "$stage$prefix" "$root"

# Where the files are.
case $UDEV_RULES_DIR in
/*) rule=$stage$UDEV_RULES_DIR/70-ostrelscan.rules ;;
*) rule=$root/$UDEV_RULES_DIR/70-ostrelscan.rules ;;
esac
settings=$root/$DATADIR/libtelo2/qr_balance.json
for file in \
    "$root/$LIBDIR/libtelo.so" "$root/$LIBDIR/libtelo.so.2" "$root/$LIBDIR/libtelo.so.$VERSION" \
    "$root/$INCLUDEDIR/telo.h" "$root/$INCLUDEDIR/telo_constants.h" \
    "$root/$LIBDIR/pkgconfig/telo.pc" \
    "$root/$LIBDIR/cmake/telo/teloConfig.cmake" "$root/$LIBDIR/cmake/telo/teloConfigVersion.cmake" \
    "$root/$LIBDIR/cmake/telo/teloTargets.cmake" "$settings" \
    "$root/$DATADIR/applications/ostrelscan.desktop" \
    "$root/$DATADIR/icons/hicolor/32x32/apps/ostrelscan.png" "$rule" \
    "$root/$DATADIR/metainfo/ostrelscan.metainfo.xml" "$root/$DATADIR/ostrelscan/71-ostrelscan-uinput.rules" \
    "$root/$MANDIR/man1/telo-decode.1" "$root/$MANDIR/man1/telo-devices.1" \
    "$root/$MANDIR/man1/telo-scan.1" "$root/$MANDIR/man1/ostrelscan-launch.1"; do
    [ -f "$file" ] || fail "missing ${file#"$tmp"}"
done
programs="telo-decode telo-devices telo-scan ostrelscan-launch"
[ "$WITH_APP" = 1 ] && programs="$programs ostrelscan"
for program in $programs; do
    [ -x "$root/$BINDIR/$program" ] || fail "missing executable $BINDIR/$program"
done
readelf -d "$root/$LIBDIR/libtelo.so.$VERSION" | grep -q 'SONAME.*\[libtelo\.so\.2\]' ||
    fail "libtelo's SONAME is not libtelo.so.2"

# Each program that links libtelo finds the installed one from its own folder.
loads_installed_library() {
    loaded=$(ldd "$1" | awk '$1 == "libtelo.so.2" { print $3 }')
    [ "$(readlink -f "$loaded")" = "$(readlink -f "$root/$LIBDIR/libtelo.so.2")" ] ||
        fail "$1 loads ${loaded:-no libtelo}, not the installed one"
}
loads_installed_library "$root/$BINDIR/telo-scan"
[ "$WITH_APP" = 1 ] && loads_installed_library "$root/$BINDIR/ostrelscan"

# The installed programs, run from a folder without etc/, take the installed settings.
elsewhere=$tmp/elsewhere
mkdir "$elsewhere"
cd "$elsewhere"
cp "$DATA/qr_hello.png" .
[ "$("$root/$BINDIR/telo-decode" --raw qr_hello.png)" = HELLO-TELO-42 ] ||
    fail "the installed telo-decode does not decode in another folder"
"$root/$BINDIR/telo-scan" --version | grep -qx "telo-scan $VERSION" ||
    fail "the installed telo-scan does not start"

# Programs built against the installed tree, with the simulator's scanner attached or not.
export TELO_SIM_ROOT="$tmp/simroot"
run_consumer() {
    loads_installed_library "$1"
    LD_PRELOAD=$SIM_LIBRARY "$1" >"$tmp/consumer.out" ||
        fail "$1 failed: $(cat "$tmp/consumer.out")"
    grep -qx "consumer $VERSION: $2" "$tmp/consumer.out" ||
        fail "$1 printed, where \"$2\" was expected: $(cat "$tmp/consumer.out")"
}

export PKG_CONFIG_PATH="$root/$LIBDIR/pkgconfig"
pc_libdir=$(pkg-config --variable=libdir telo)
# shellcheck disable=SC2046,SC2086 # the flags are split into words on purpose
$CC $CFLAGS $(pkg-config --cflags telo) "$consumer_src/consumer.c" -o "$tmp/pc-consumer" \
    $(pkg-config --libs telo) -Wl,-rpath,"$pc_libdir" || fail "pkg-config consumer does not build"
"$TELO_SIM" clear
run_consumer "$tmp/pc-consumer" "no scanner"

"$CMAKE" -S "$consumer_src" -B "$tmp/cmake-consumer" -G "$CMAKE_GENERATOR" \
    -DCMAKE_C_COMPILER="$CC" -DCMAKE_C_FLAGS="$CFLAGS" -DCMAKE_PREFIX_PATH="$root" \
    >"$tmp/consumer.log" 2>&1 &&
    "$CMAKE" --build "$tmp/cmake-consumer" >>"$tmp/consumer.log" 2>&1 ||
    { cat "$tmp/consumer.log" >&2; fail "find_package consumer does not build"; }
consumer=$tmp/cmake-consumer/consumer
run_consumer "$consumer" "no scanner"

"$TELO_SIM" plug scanner scanner
run_consumer "$consumer" "scanner, QR Code on"
# Without any settings file create fails, and says once where it looked.
mv "$settings" "$tmp/settings.json"
run_consumer "$consumer" "no scanner"
tried="engine settings not found: tried $elsewhere/etc/qr_balance.json and $settings"
[ "$(grep -c "^engine settings not found" "$tmp/consumer.out")" = 1 ] &&
    grep -qxF "$tried" "$tmp/consumer.out" || fail "not told where the settings were looked for"
mv "$tmp/settings.json" "$settings"

# The launcher, with a stand-in application that records where it runs.
cat >"$root/$BINDIR/ostrelscan" <<'STANDIN'
#!/bin/sh
{ pwd -P; echo "$*"; } >"$LAUNCH_RECORD"
STANDIN
chmod +x "$root/$BINDIR/ostrelscan"
export HOME="$tmp/home" LAUNCH_RECORD="$tmp/record"

launch() {
    rm -f "$LAUNCH_RECORD"
    "$root/$BINDIR/ostrelscan-launch" "$@" 2>"$tmp/launch.err" ||
        fail "launcher failed: $(cat "$tmp/launch.err")"
}
check_ran_in() {
    [ "$(sed -n 1p "$LAUNCH_RECORD")" = "$(cd "$1" && pwd -P)" ] || fail "not run in $1"
    shift
    [ "$(sed -n 2p "$LAUNCH_RECORD")" = "$*" ] ||
        fail "arguments not passed: $(sed -n 2p "$LAUNCH_RECORD")"
}

# No XDG_DATA_HOME: the folder goes under HOME.
mkdir -p "$HOME"
(unset XDG_DATA_HOME && launch)
check_ran_in "$HOME/.local/share/ostrelscan"

export XDG_DATA_HOME="$tmp/data"
work=$XDG_DATA_HOME/ostrelscan
launch -a "two words"
check_ran_in "$work" -a two words

# A link to one installation's settings goes; a real folder the user made stays as it is.
ln -s "$tmp/old-install" "$work/etc"
launch
[ ! -e "$work/etc" ] && [ ! -L "$work/etc" ] || fail "an etc link was kept"
mkdir "$work/etc"
echo '{"own": true}' >"$work/etc/qr_balance.json"
launch
[ "$(cat "$work/etc/qr_balance.json")" = '{"own": true}' ] || fail "the user's etc folder was replaced"

echo "install_tree: installed tree in order"
