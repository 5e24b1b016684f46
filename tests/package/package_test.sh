#!/usr/bin/env bash
# The Debian packages as their users meet them. Makes the packages of a build
# tree with CPack, unpacks them into a scratch root (dpkg -x: no root rights,
# nothing installed on the machine) and checks there:
#   - each package holds its files, librk.so.1 has its SONAME, and the
#     dependencies between the packages and on Qt are declared;
#   - the manual pages render without a warning;
#   - the C example builds against the installed librk-dev through
#     pkg-config and through CMake's find_package, and runs against the
#     installed qvzsim;
#   - sentune started with its desktop entry's Exec command keeps its INI and
#     Data in the user's directories, polls the installed qvzsim, loads the
#     installed simulated E-140 module, and ends with status 0 on SIGTERM.
# Usage: package_test.sh BUILD_DIR
set -euo pipefail

build=$1
work=$(mktemp -d /tmp/package_test.XXXXXX)
qpid="" spid=""
cleanup() {
  [ -n "$spid" ] && kill -KILL "$spid" 2>/dev/null
  [ -n "$qpid" ] && kill -TERM "$qpid" 2>/dev/null
  exec 3>&- 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

cpack --config "$build/CPackConfig.cmake" -B "$work/debs" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack"; }
root=$work/root
for deb in sentune librk1 librk-dev qvzsim; do
  file=$(ls "$work/debs/${deb}_"*.deb 2>/dev/null) || fail "no package $deb"
  dpkg-deb -x "$file" "$root"
done
triplet=$(gcc -dumpmachine)
lib=$root/usr/lib/$triplet

# What each package holds.
for f in usr/bin/sentune usr/share/applications/sentune.desktop usr/share/man/man1/sentune.1.gz \
         usr/share/icons/hicolor/{16x16,22x22,24x24,32x32,48x48,64x64,128x128,256x256}/apps/sentune.png \
         "usr/lib/$triplet/librk.so.1" usr/include/rk.h "usr/lib/$triplet/librk.so" \
         "usr/lib/$triplet/pkgconfig/rk.pc" "usr/lib/$triplet/cmake/rk/rkConfig.cmake" \
         usr/share/man/man3/rk.3.gz usr/share/man/man3/RK_SendFile.3.gz \
         usr/share/doc/librk-dev/examples/rk_example.c usr/bin/qvzsim \
         "usr/lib/$triplet/qvzsim/libe140sim.so" usr/share/man/man1/qvzsim.1.gz \
         usr/share/doc/{sentune,librk1,librk-dev,qvzsim}/{copyright,changelog.Debian.gz}; do
  [ -e "$root/$f" ] || fail "missing /$f"
done
objdump -p "$lib/librk.so.1" | grep -q 'SONAME *librk.so.1$' || fail "SONAME of librk.so.1"
file "$root/usr/share/icons/hicolor/48x48/apps/sentune.png" | grep -q '48 x 48' || fail "icon size"
depends() { dpkg-deb -f "$work/debs/$1_"*.deb Depends; }
depends sentune | grep -q 'librk1 (= ' || fail "sentune does not depend on librk1"
depends sentune | grep -q 'libqt6widgets6' || fail "sentune does not depend on Qt"
depends librk-dev | grep -q 'librk1 (= ' || fail "librk-dev does not depend on librk1"
depends librk1 | grep -q 'libqt6widgets6' || fail "librk1 does not depend on Qt"

# The manual pages render, whole and without a warning.
for page in man1/sentune.1.gz man1/qvzsim.1.gz man3/rk.3.gz man3/RK_Open.3.gz; do
  out=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/$page" 2>"$work/man.err")
  [ ! -s "$work/man.err" ] || { cat "$work/man.err" >&2; fail "warnings of $page"; }
  grep -q '^NAME' <<<"$out" && grep -q '^SEE ALSO' <<<"$out" || fail "$page does not render"
done

# The C example against the installed librk-dev.
examples=$root/usr/share/doc/librk-dev/examples
flags=$(PKG_CONFIG_LIBDIR=$lib/pkgconfig PKG_CONFIG_SYSROOT_DIR=$root pkg-config --cflags --libs rk)
cc -Wall -Wextra -Werror "$examples/rk_example.c" $flags -o "$work/rk_example_pc" ||
  fail "the example does not build with: pkg-config --cflags --libs rk ($flags)"
cmake -S "$examples" -B "$work/example" -DCMAKE_PREFIX_PATH="$root/usr" >"$work/cmake.log" 2>&1 &&
  cmake --build "$work/example" >>"$work/cmake.log" 2>&1 ||
  { cat "$work/cmake.log" >&2; fail "the example does not build with find_package(rk)"; }

# The installed simulator, driven through a fifo on its standard input.
mkfifo "$work/control"
"$root/usr/bin/qvzsim" --link "$work/tty" --sensor type=1,address=7 <"$work/control" \
  >"$work/qvzsim.out" 2>&1 &
qpid=$!
exec 3>"$work/control"
for _ in $(seq 100); do [ -e "$work/tty" ] && break; sleep 0.05; done
[ -e "$work/tty" ] || fail "qvzsim did not start"

export LD_LIBRARY_PATH=$lib RK_IPC_SUFFIX=${RK_IPC_SUFFIX:-.package_test.$$}
for example in "$work/rk_example_pc" "$work/example/rk_example"; do
  ldd "$example" | grep -q "librk.so.1 => $lib/" || fail "$example does not use the installed librk"
  out=$(RK_COM4=$work/tty "$example" 4 7)
  grep -qx 'open: 00000000 ' <<<"$out" && grep -qx 'registers: 1234 [0-9A-F]*' <<<"$out" &&
    grep -qx 'close: 00000000 ' <<<"$out" || { echo "$out" >&2; fail "$example against qvzsim"; }
done

# sentune from the desktop entry: an installed program, so its INI file is
# in the user's configuration directory.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/config XDG_DATA_HOME=$work/home/data
mkdir -p "$XDG_CONFIG_HOME/sentune"
printf '[SETTINGS]\nIdStr=rk.dll,2,57600,10,100\nDeviceId=7\n' >"$XDG_CONFIG_HOME/sentune/sentune.ini"
command=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/sentune.desktop")
frames() {
  echo counters >&3
  sleep 0.2
  tac "$work/qvzsim.out" | grep -m1 '^frames ' | awk '{print $2}'
}
before=$(frames)
PATH=$root/usr/bin:$PATH RK_COM2=$work/tty QT_QPA_PLATFORM=offscreen \
  SENTUNE_LUSBAPI=$lib/qvzsim/libe140sim.so sh -c "exec $command" >"$work/sentune.out" 2>&1 3>&- &
spid=$!
for _ in $(seq 100); do
  [ "$(frames)" -gt $((before + 3)) ] && break
done
[ "$(frames)" -gt $((before + 3)) ] || fail "sentune from '$command' does not poll the sensor"
grep -q '^S10=' "$XDG_CONFIG_HOME/sentune/sentune.ini" || fail "sentune did not use the user's INI"
[ -d "$XDG_DATA_HOME/sentune/Data" ] || fail "no Data directory in the user's data directory"
[ ! -e "$root/usr/bin/sentune.ini" ] || fail "an INI file beside the installed program"
grep -q e140sim /proc/$spid/maps || fail "the simulated E-140 module is not loaded"
kill -TERM "$spid"
status=0
wait "$spid" || status=$?
spid=""
[ "$status" -eq 0 ] || fail "sentune ended with $status on SIGTERM"
echo "packages: $(cd "$work/debs" && ls ./*.deb | tr '\n' ' ')"
echo "ok"
