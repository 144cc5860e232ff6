#!/usr/bin/env bash
# Packaging checks, run by ctest (install_*):
#   packaging.sh CHECK BUILD_DIR SOURCE_DIR PREFIX LIBDIR VERSION PROGRAMS
# (PROGRAMS: the installed programs, comma-separated)
# CHECK is one of
#   layout    install into a temporary DESTDIR, list what lands where, run the installed programs
#   consumer  build a program against the installed CMake package configs and open the driver
#             on the installed simulator
#   desktop   desktop-file-validate and appstreamcli validate on the installed files
#   manpages  the manual pages render without warnings
#   deb       cpack -G DEB, its contents, and (as root under CI, or with KELVANE_DEB_INSTALL=1)
#             apt install of the package, the installed programs run, then removal
# Exits 77 (skipped) when a tool the check needs is missing.
set -euo pipefail

check=$1 build=$2 source=$3 prefix=$4 libdir=$5 version=$6
IFS=, read -r -a programs <<<"$7"
app_id=org.kelvane.Kelvane
work=$(mktemp -d)
sim_pid=
deb_installed=
cleanup() {
    if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; fi
    if [ -n "$deb_installed" ]; then apt-get purge -y -qq kelvane >/dev/null 2>&1 || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
need() {
    for tool; do
        command -v "$tool" >/dev/null || {
            echo "SKIP: $tool is not installed (scripts/deps installs it)"
            exit 77
        }
    done
}

# Every file the install must hold, relative to the prefix.
expected_files() {
    cat <<LIST
$libdir/libostry.so
$libdir/libfennick.so
$libdir/libhalvard.so
include/ostry/nrd535.h
include/ostry/protocol.h
include/ostry/serialline.h
include/ostry/ostry_export.h
include/fennick/freqs.h
include/fennick/fennick_export.h
include/halvard/meter.h
include/halvard/halvard_export.h
$libdir/cmake/Ostry/OstryConfig.cmake
$libdir/cmake/Ostry/OstryConfigVersion.cmake
$libdir/cmake/Ostry/OstryTargets.cmake
$libdir/cmake/Fennick/FennickConfig.cmake
$libdir/cmake/Halvard/HalvardConfig.cmake
share/applications/$app_id.desktop
share/metainfo/$app_id.metainfo.xml
share/icons/hicolor/scalable/apps/$app_id.svg
share/icons/hicolor/16x16/apps/$app_id.png
share/icons/hicolor/48x48/apps/$app_id.png
share/icons/hicolor/256x256/apps/$app_id.png
LIST
    for prog in "${programs[@]}"; do
        printf '%s\n' "bin/$prog" "share/man/man1/$prog.1.gz"
    done
    if [ -d "$source/app/data" ]; then
        (cd "$source/app/data" && find . -type f | sed 's|^\./|share/kelvane/|')
    fi
}

# Files that must never be installed: test programs, static helper libraries, build paths.
check_nothing_stray() { # ROOT
    local stray
    stray=$(cd "$1" && find . -type f \( -name '*.a' -o -name 'tst_*' -o -name '*_test' \
        -o -name 'fennick_tables*' -o -name '*nrd535sim*' -o -name '*.o' \) | sort)
    [ -z "$stray" ] || fail "installed files that do not belong: $stray"
}

install_tree() { # DESTDIR
    DESTDIR=$1 cmake --install "$build" >"$work/install.log" || {
        cat "$work/install.log" >&2
        fail "cmake --install failed"
    }
}

start_sim() { # NRD535_SIM_BINARY
    "$1" --no-pace >"$work/sim.out" 2>"$work/sim.err" &
    sim_pid=$!
    for _ in $(seq 100); do
        [ -s "$work/sim.out" ] && break
        sleep 0.1
    done
    device=$(head -n1 "$work/sim.out")
    [ -n "$device" ] && [ -e "$device" ] || fail "the simulator printed no device: $(cat "$work/sim.err")"
}

run_installed() { # ROOT (prefix root): the programs run from where they were installed
    local root=$1 out
    out=$("$root/bin/kelvane" --version) || fail "installed kelvane --version failed"
    [ "$out" = "kelvane $version" ] || fail "kelvane --version says '$out', expected 'kelvane $version'"
    "$root/bin/nrd535-sim" --help | grep -q -- '--baud' || fail "installed nrd535-sim --help failed"
    for prog in "${programs[@]}"; do
        "$root/bin/$prog" --help >/dev/null || fail "installed $prog --help failed"
    done
}

case $check in
layout)
    dest=$work/dest
    install_tree "$dest"
    root=$dest$prefix
    echo "== installed under $prefix:"
    (cd "$root" && find . \( -type f -o -type l \) | sed 's|^\./||' | sort)
    missing=0
    while read -r f; do
        [ -e "$root/$f" ] || {
            echo "missing: $f" >&2
            missing=1
        }
    done < <(expected_files)
    [ $missing -eq 0 ] || fail "files missing from the install"
    check_nothing_stray "$root"
    # The installed programs use the installed libraries, not the ones in the build tree.
    for prog in "${programs[@]}"; do
        if readelf -d "$root/bin/$prog" | grep -E 'R(UN)?PATH' | grep -qF "$build"; then
            fail "$prog keeps a search path into the build tree"
        fi
    done
    if ldd "$root/bin/kelvane" | grep -E 'lib(ostry|fennick|halvard)' | grep -vqF "$root"; then
        fail "installed kelvane resolves a library outside the install: $(ldd "$root/bin/kelvane")"
    fi
    run_installed "$root"
    ;;

consumer)
    need c++
    dest=$work/dest
    install_tree "$dest"
    root=$dest$prefix
    cmake -S "$source/dist/tests/consumer" -B "$work/consumer" -G Ninja \
        -DCMAKE_PREFIX_PATH="$root" -DCMAKE_BUILD_TYPE=Release >"$work/configure.log" 2>&1 || {
        cat "$work/configure.log" >&2
        fail "a program cannot configure against the installed package configs"
    }
    cmake --build "$work/consumer" >"$work/build.log" 2>&1 || {
        cat "$work/build.log" >&2
        fail "a program cannot build against the installed headers and libraries"
    }
    start_sim "$root/bin/nrd535-sim"
    out=$("$work/consumer/ostry-consumer" "$device") ||
        fail "the driver did not report a status from the simulator: $out"
    echo "$out"
    ;;

desktop)
    need desktop-file-validate appstreamcli
    dest=$work/dest
    install_tree "$dest"
    root=$dest$prefix
    # Hints and warnings count as failures too.
    out=$(desktop-file-validate "$root/share/applications/$app_id.desktop" 2>&1) &&
        [ -z "$out" ] || fail "desktop entry: $out"
    appstreamcli validate --no-net "$root/share/metainfo/$app_id.metainfo.xml" || fail "metadata"
    # The metadata names the release this build is, and the entry it launches.
    grep -q "<release version=\"$version\"" "$root/share/metainfo/$app_id.metainfo.xml" ||
        fail "the metadata does not list release $version"
    grep -q "^Icon=$app_id$" "$root/share/applications/$app_id.desktop" || fail "icon name"
    ;;

manpages)
    need groff man
    pages=("$build"/dist/man/*.1)
    [ -e "${pages[0]}" ] || fail "no manual pages were generated"
    for page in "${pages[@]}"; do
        name=$(basename "$page" .1)
        warnings=$(LC_ALL=C.UTF-8 groff -man -ww -z -Tutf8 "$page" 2>&1)
        [ -z "$warnings" ] || fail "$name: groff warns: $warnings"
        warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
        [ -z "$warnings" ] || fail "$name: man warns: $warnings"
        text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$page" 2>/dev/null)
        grep -q "^ *$name.* $version " <<<"$text" || fail "$name: the page does not show version $version"
        for section in NAME SYNOPSIS OPTIONS EXAMPLES; do
            grep -q "^$section" <<<"$text" || fail "$name: no $section section"
        done
    done
    text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$build/dist/man/kelvane.1")
    for topic in 'Kelvane.reg' 'default.mem' 'scratch.log' 'Noise.txt' 'import.cnf' 'dialout' \
        '--simulate' '--settings' '--port'; do
        grep -qF -- "$topic" <<<"$text" || fail "kelvane(1) does not mention $topic"
    done
    if [ "$HOME" != / ] && grep -qF -- "$HOME" <<<"$text"; then
        fail "kelvane(1) names the builder's home"
    fi
    ;;

deb)
    need cpack dpkg-deb dpkg-shlibdeps
    (cd "$build" && cpack -G DEB -B "$work/pkg") >"$work/cpack.log" 2>&1 || {
        cat "$work/cpack.log" >&2
        fail "cpack -G DEB failed"
    }
    deb=$(ls "$work"/pkg/kelvane_"$version"_*.deb)
    echo "== $(basename "$deb")"
    dpkg-deb --field "$deb"
    dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\./||' >"$work/contents"
    cat "$work/contents"
    # Packages install under /usr; the library folder there is the one GNUInstallDirs picked.
    while read -r f; do
        grep -qx "usr/$f" "$work/contents" || fail "the package lacks /usr/$f"
    done < <(expected_files)
    depends=$(dpkg-deb --field "$deb" Depends)
    for lib in libqt6core6 libqt6serialport6 libqt6widgets6 libasound2 libfftw3-single3; do
        grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
    done
    if [ "${CI:-}" != true ] && [ "${KELVANE_DEB_INSTALL:-}" != 1 ]; then
        echo "package built; installing it needs CI=true or KELVANE_DEB_INSTALL=1"
        exit 0
    fi
    [ "$(id -u)" -eq 0 ] || fail "installing the package needs root"
    export DEBIAN_FRONTEND=noninteractive
    # A package left by an earlier run that was cut short is replaced.
    deb_installed=1
    apt-get install -y -qq --no-install-recommends --allow-downgrades "$deb" >"$work/apt.log" 2>&1 || {
        cat "$work/apt.log" >&2
        fail "apt install of the package failed"
    }
    status=0
    (
        set -e
        run_installed /usr
        dpkg -L kelvane | grep -qx /usr/share/applications/$app_id.desktop
        # Minimal images may tell dpkg to leave manual pages out.
        if ! grep -qs '^path-exclude=/usr/share/man' /etc/dpkg/dpkg.cfg.d/*; then
            man -w kelvane | grep -q '^/usr/share/man/man1/kelvane.1.gz$'
        fi
    ) || status=$?
    deb_installed=
    apt-get purge -y -qq kelvane >>"$work/apt.log" 2>&1 || fail "removing the package failed"
    [ ! -e /usr/bin/kelvane ] || fail "removing the package left /usr/bin/kelvane"
    [ $status -eq 0 ] || fail "the installed package does not run"
    echo "installed, ran and removed $(basename "$deb")"
    ;;

*)
    fail "unknown check $check"
    ;;
esac
