#!/bin/sh
# install_tree.sh BUILD_DIR CONSUMER_DIR: installs BUILD_DIR into a temporary prefix and checks
# the installed tree. The install folders, tools and compiler flags come from the environment
# (see CMakeLists.txt beside this file). HOME and XDG_DATA_HOME point into the temporary folder.
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
prefix=$tmp/prefix
stage=$tmp/stage
DESTDIR=$stage "$CMAKE" --install "$build" --prefix "$prefix" >"$tmp/install.log" ||
    { cat "$tmp/install.log" >&2; fail "cmake --install failed"; }
root=$stage$prefix

# Where the files are.
case $UDEV_RULES_DIR in
/*) rule=$stage$UDEV_RULES_DIR/70-ostrelscan.rules ;;
*) rule=$root/$UDEV_RULES_DIR/70-ostrelscan.rules ;;
esac
for file in \
    "$root/$LIBDIR/libtelo.so" "$root/$LIBDIR/libtelo.so.2" "$root/$LIBDIR/libtelo.so.$VERSION" \
    "$root/$INCLUDEDIR/telo.h" "$root/$LIBDIR/pkgconfig/telo.pc" \
    "$root/$LIBDIR/cmake/telo/teloConfig.cmake" "$root/$LIBDIR/cmake/telo/teloConfigVersion.cmake" \
    "$root/$LIBDIR/cmake/telo/teloTargets.cmake" \
    "$root/$DATADIR/ostrelscan/etc/qr_balance.json" \
    "$root/$DATADIR/applications/ostrelscan.desktop" \
    "$root/$DATADIR/icons/hicolor/32x32/apps/ostrelscan.png" "$rule"; do
    [ -f "$file" ] || fail "missing ${file#"$stage"}"
done
[ -x "$root/$BINDIR/ostrelscan-launch" ] || fail "missing executable $BINDIR/ostrelscan-launch"
if [ "$WITH_APP" = 1 ]; then
    [ -x "$root/$BINDIR/ostrelscan" ] || fail "missing executable $BINDIR/ostrelscan"
fi
readelf -d "$root/$LIBDIR/libtelo.so.$VERSION" | grep -q 'SONAME.*\[libtelo\.so\.2\]' ||
    fail "libtelo's SONAME is not libtelo.so.2"

# Programs built against the installed tree. The simulator with no device attached stands for a
# machine without a scanner, also where one is plugged in.
"$TELO_SIM" --root "$tmp/simroot" clear
run_consumer() {
    loaded=$(ldd "$1" | awk '$1 == "libtelo.so.2" { print $3 }')
    [ "$(readlink -f "$loaded")" = "$(readlink -f "$root/$LIBDIR/libtelo.so.2")" ] ||
        fail "$1 loads ${loaded:-no libtelo}, not the installed one"
    TELO_SIM_ROOT=$tmp/simroot LD_PRELOAD=$SIM_LIBRARY "$1" >"$tmp/consumer.out" ||
        fail "$1 failed: $(cat "$tmp/consumer.out")"
    grep -qx "consumer: no scanner" "$tmp/consumer.out" ||
        fail "$1 printed: $(cat "$tmp/consumer.out")"
}

export PKG_CONFIG_PATH="$root/$LIBDIR/pkgconfig"
pc_libdir=$(pkg-config --variable=libdir telo)
# shellcheck disable=SC2046,SC2086 # the flags are split into words on purpose
$CC $CFLAGS $(pkg-config --cflags telo) "$consumer_src/consumer.c" -o "$tmp/pc-consumer" \
    $(pkg-config --libs telo) -Wl,-rpath,"$pc_libdir" || fail "pkg-config consumer does not build"
run_consumer "$tmp/pc-consumer"

"$CMAKE" -S "$consumer_src" -B "$tmp/cmake-consumer" -G "$CMAKE_GENERATOR" \
    -DCMAKE_C_COMPILER="$CC" -DCMAKE_C_FLAGS="$CFLAGS" -DCMAKE_PREFIX_PATH="$root" \
    >"$tmp/consumer.log" 2>&1 &&
    "$CMAKE" --build "$tmp/cmake-consumer" >>"$tmp/consumer.log" 2>&1 ||
    { cat "$tmp/consumer.log" >&2; fail "find_package consumer does not build"; }
run_consumer "$tmp/cmake-consumer/consumer"

# The launcher, with a stand-in application that records where it runs.
cat >"$root/$BINDIR/ostrelscan" <<'STANDIN'
#!/bin/sh
{ pwd -P; echo "$*"; cat etc/qr_balance.json; } >"$LAUNCH_RECORD"
STANDIN
chmod +x "$root/$BINDIR/ostrelscan"
etc=$root/$DATADIR/ostrelscan/etc
export HOME="$tmp/home" LAUNCH_RECORD="$tmp/record"

launch() {
    rm -f "$LAUNCH_RECORD"
    "$root/$BINDIR/ostrelscan-launch" "$@" 2>"$tmp/launch.err" ||
        fail "launcher failed: $(cat "$tmp/launch.err")"
}
check_ran_in() {
    work=$1
    shift
    [ "$(sed -n 1p "$LAUNCH_RECORD")" = "$(cd "$work" && pwd -P)" ] || fail "not run in $work"
    [ "$(sed -n 2p "$LAUNCH_RECORD")" = "$*" ] ||
        fail "arguments not passed: $(sed -n 2p "$LAUNCH_RECORD")"
    sed 1,2d "$LAUNCH_RECORD" | cmp -s - "$etc/qr_balance.json" ||
        fail "etc/qr_balance.json unreachable in $work"
}

# No XDG_DATA_HOME: the folder goes under HOME.
mkdir -p "$HOME"
(unset XDG_DATA_HOME && launch)
check_ran_in "$HOME/.local/share/ostrelscan"

export XDG_DATA_HOME="$tmp/data"
work=$XDG_DATA_HOME/ostrelscan
launch -a "two words"
check_ran_in "$work" -a two words
[ -L "$work/etc" ] || fail "etc is not a link"

# A link into an old installation is renewed.
ln -sfn "$tmp/old-install" "$work/etc"
launch
check_ran_in "$work"
[ "$(readlink -f "$work/etc")" = "$(readlink -f "$etc")" ] || fail "stale etc link kept"

# A real folder the user made is kept as it is.
rm "$work/etc"
mkdir "$work/etc"
echo '{"own": true}' >"$work/etc/qr_balance.json"
launch
[ ! -L "$work/etc" ] && [ "$(cat "$work/etc/qr_balance.json")" = '{"own": true}' ] ||
    fail "the user's etc folder was replaced"
grep -q "keeping" "$tmp/launch.err" || fail "no word about the kept etc folder"

echo "install_tree: installed tree in order"
