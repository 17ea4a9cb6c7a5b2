#!/usr/bin/env bash
# Builds the .deb from a build folder and checks it: lintian finds no error, its control data and
# contents, the manual pages render and are found by whatis, the AppStream metainfo validates, the
# maintainer scripts never fail on udev, then the program unpacked with dpkg -x answering
# --version and --help without a display, refusing other arguments, and reading a simulated
# terminal into a file under a virtual X server with the library and simulator of the package
# alone.
#
#   deb_test.sh <build folder> <version>
set -euo pipefail
build=$(cd "$1" && pwd)
version=$2
cd "$(dirname "$0")/../.."
# shellcheck source=tools/demo-profile.sh
source tools/demo-profile.sh

work=$(mktemp -d)
SIM_PID=
trap '[ -n "$SIM_PID" ] && stop_sim; rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# --- build the package ---------------------------------------------------------------------
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack could not build the package"; }
mapfile -t debs < <(find "$work/pkg" -maxdepth 1 -name 'kolbrin_*.deb')
[ ${#debs[@]} -eq 1 ] || fail "expected one kolbrin_*.deb, found ${#debs[@]}"
deb=${debs[0]}
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "kolbrin_${version}_${arch}.deb" ] ||
    fail "package file is $(basename "$deb"), expected kolbrin_${version}_${arch}.deb"

# --- Debian's own checks ------------------------------------------------------------------------
# Errors fail the test; warnings and notes are printed for whoever reads the log.
lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 ||
    { cat "$work/lintian.log"; fail "lintian found errors in the package"; }
cat "$work/lintian.log"

# --- control data ----------------------------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] ||
    fail "Maintainer has no e-mail address: $(field Maintainer)"
tr ',' '\n' <<<"$(field Recommends)" | sed 's/^ *//; s/ .*//' | grep -qxF qt6-wayland ||
    fail "Recommends lacks qt6-wayland: $(field Recommends)"
[ "$(field Package)" = kolbrin ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', expected $version"
depends=$(field Depends)
# The libraries the binaries link, found by dpkg-shlibdeps, the platform plugins Qt needs to
# open a window at all and the SQLite driver plugin the journal needs.
for wanted in libqt6widgets6 libqt6gui6 libqt6core6 libxdo3 libstdc++6 libc6 \
    qt6-qpa-plugins libqt6sql6-sqlite; do
    tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/ .*//' | grep -qxF "$wanted" ||
        fail "Depends lacks $wanted: $depends"
done

# --- contents ----------------------------------------------------------------------------------
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/contents"
for path in /usr/bin/kolbrin /usr/bin/qel-sim /usr/lib/kolbrin/libvorlak.so \
    /usr/share/applications/kolbrin.desktop /usr/share/icons/hicolor/scalable/apps/kolbrin.svg \
    /usr/share/doc/kolbrin/README.md /usr/share/doc/kolbrin/user-guide.md \
    /usr/share/doc/kolbrin/ports.md /usr/share/kolbrin/examples/shop.json \
    /usr/lib/udev/rules.d/61-kolbrin-cradles.rules /usr/share/doc/kolbrin/copyright \
    /usr/share/doc/kolbrin/changelog.gz /usr/share/man/man1/kolbrin.1.gz \
    /usr/share/man/man1/qel-sim.1.gz /usr/share/metainfo/org.example.kolbrin.metainfo.xml \
    /usr/share/kolbrin/programs/ /usr/share/doc/kolbrin/screenshots/en/main.png; do
    grep -qx "$path" "$work/contents" || fail "$path is not in the package"
done
# Nothing of the build or the tests comes along.
if grep -E '(_tests|/fuzz_|/bench|\.a$|/CMakeFiles/)' "$work/contents"; then
    fail "test, benchmark or build files in the package"
fi

# --- unpacked into a temporary root ----------------------------------------------------------
root="$work/root"
dpkg -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/kolbrin.desktop" ||
    fail "the desktop entry is not valid"
grep -qx 'Exec=kolbrin' "$root/usr/share/applications/kolbrin.desktop" ||
    fail "the desktop entry does not start kolbrin"
grep -q '<svg' "$root/usr/share/icons/hicolor/scalable/apps/kolbrin.svg" ||
    fail "the icon is not an SVG image"

# The metainfo names the desktop entry and a screenshot of the user guide.
metainfo="$root/usr/share/metainfo/org.example.kolbrin.metainfo.xml"
appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1 ||
    { cat "$work/appstream.log"; fail "appstreamcli does not accept the metainfo"; }
grep -q '<launchable type="desktop-id">kolbrin.desktop</launchable>' "$metainfo" ||
    fail "the metainfo does not launch kolbrin.desktop"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo lacks release $version"
grep -q '/screenshots/en/main.png</image>' "$metainfo" || fail "the metainfo has no screenshot"

# Manual pages: render without warnings, and found by whatis once indexed as after an install.
for page in kolbrin qel-sim; do
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" \
        >"$work/$page.txt" 2>"$work/$page.err" || fail "man cannot render $page(1)"
    [ ! -s "$work/$page.err" ] || { cat "$work/$page.err"; fail "$page(1) renders with warnings"; }
done
for option in --help --version --history --json --limit --export; do
    grep -qe "$option" "$work/kolbrin.txt" || fail "kolbrin(1) does not describe $option"
done
for option in --terminal --link --state --removed --modem --line-rate --noise --seed \
    --upload-fail; do
    grep -qe "$option" "$work/qel-sim.txt" || fail "qel-sim(1) does not describe $option"
done
mandb -q "$root/usr/share/man" || fail "mandb cannot index the manual pages"
for page in kolbrin qel-sim; do
    whatis -M "$root/usr/share/man" "$page" | grep -q "^$page (1)" ||
        fail "whatis (man -k) does not list $page(1)"
done

# The maintainer scripts reload udev when it is there and never fail because of it: not with a
# udevadm that fails, not without one.
dpkg-deb -e "$deb" "$work/control"
mkdir "$work/fakebin"
printf '#!/bin/sh\necho "$*" >>"%s"\nexit 1\n' "$work/udevadm.log" >"$work/fakebin/udevadm"
chmod +x "$work/fakebin/udevadm"
PATH="$work/fakebin:$PATH" sh "$work/control/postinst" configure ||
    fail "postinst failed with a failing udevadm"
grep -qx 'control --reload-rules' "$work/udevadm.log" || fail "postinst did not reload the rules"
grep -q '^trigger .*--subsystem-match=tty' "$work/udevadm.log" ||
    fail "postinst did not trigger the tty devices"
PATH="$work/fakebin:$PATH" sh "$work/control/postrm" remove || fail "postrm failed with udevadm"
PATH=/nonexistent /bin/sh "$work/control/postinst" configure || fail "postinst failed without udevadm"
if grep -q ldconfig "$work/control/postinst" "$work/control/postrm"; then
    fail "the maintainer scripts call ldconfig for the private library folder"
fi

program="$root/usr/bin/kolbrin"
# No display, no platform: the answers come before Qt starts.
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" "$@"; }
[ "$(run --version)" = "Kolbrin $version" ] || fail "--version printed '$(run --version)'"
run --help | grep -q -- '--version' || fail "--help does not list the options"
status=0
run --bogus >"$work/out.txt" 2>"$work/err.txt" || status=$?
[ "$status" -eq 2 ] || fail "an unknown argument ended with status $status, expected 2"
[ ! -s "$work/out.txt" ] || fail "an unknown argument printed on standard output"
grep -q "unknown argument '--bogus'" "$work/err.txt" || fail "the error does not name the argument"

# --- the unpacked program reads a simulated terminal -------------------------------------------
# A fresh profile with no library of its own: the program must find the package's library in
# <root>/usr/lib/kolbrin, from its own place. The simulator is the package's too.
unset LD_LIBRARY_PATH
export KOLBRIN_BIN="$root/usr/bin"
make_profile "$work/profile" "$work/profile/out/shop.txt"
start_sim "$work/profile" "$root/usr/share/kolbrin/examples/shop.json" --removed
read_under_xvfb "$program" "$work/profile/out/shop.txt" "$work/app.err" ||
    { cat "$work/app.err" >&2; fail "the unpacked program wrote no output file"; }
lines=$(wc -l <"$work/profile/out/shop.txt")
[ "$lines" -eq 15 ] || fail "expected 15 lines of records, got $lines"
[ ! -e "$work/profile/data/kolbrin/lib/libvorlak.so" ] ||
    fail "a library was installed into the profile; the package's own was not used alone"
echo "package $(basename "$deb"): ok"
