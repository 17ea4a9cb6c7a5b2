#!/usr/bin/env bash
# Cross-builds Vorlak.dll for 32- and 64-bit Windows with Debian's mingw-w64 compilers and checks
# what a Windows program sees of it:
#   - the image is PE32 (i686) or PE32+ (x86_64);
#   - the export table holds exactly the functions declared in vorlak.h, by their plain names
#     (a function added to the header but not to vorlak.def fails here);
#   - no name carries a stdcall decoration (@n);
#   - it imports only Windows' own DLLs, none of the compiler's runtime DLLs, so it can be
#     dropped into a folder on its own.
#
# Usage: dll_exports_test.sh SOURCE_DIR BUILD_DIR [CMAKE_GENERATOR]
# The cross builds live in BUILD_DIR/i686 and BUILD_DIR/x86_64 and are reused between runs.
set -euo pipefail

if [ $# -lt 2 ]; then
    echo "usage: $0 SOURCE_DIR BUILD_DIR [CMAKE_GENERATOR]" >&2
    exit 2
fi
source_dir=$1
build_dir=$2
generator=${3:-Ninja}
header=$source_dir/vorlak/include/vorlak.h

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Every function the header declares: "VORLAK_API <type> VORLAK_CALL <name>(", comments and
# preprocessor lines aside, across line breaks.
mapfile -t expected < <(perl -0777 -ne '
    s{/\*.*?\*/}{}gs; s{//[^\n]*}{}g; s{^\s*#[^\n]*}{}gm;
    print "$1\n" while /\bVORLAK_API\b[^;{}]*?\bVORLAK_CALL\s+(\w+)\s*\(/g;
' "$header" | sort)
[ ${#expected[@]} -gt 0 ] || fail "no VORLAK_API function found in $header"

# System DLLs the library may use; anything else (a compiler runtime, a third-party DLL) would
# have to be shipped alongside it.
is_system_dll() {
    local name
    name=$(printf '%s' "$1" | tr '[:upper:]' '[:lower:]')
    case $name in
    kernel32.dll | msvcrt.dll | ucrtbase.dll | api-ms-win-*.dll | advapi32.dll | user32.dll | \
        setupapi.dll | cfgmgr32.dll | ws2_32.dll | shell32.dll | ole32.dll | bcrypt.dll)
        return 0
        ;;
    esac
    return 1
}

check_arch() {
    local arch=$1 triple=$2 format=$3
    local toolchain=$source_dir/cmake/toolchains/mingw-w64-$arch.cmake
    local tool
    for tool in "$triple-gcc-posix" "$triple-g++-posix" "$triple-objdump"; do
        command -v "$tool" >/dev/null ||
            fail "$tool not found: install the mingw-w64 packages listed in tools/packages.txt"
    done

    local out=$build_dir/$arch
    mkdir -p "$out"
    # The cross build must not pick up the host build's compilers or flags.
    if ! env -u CC -u CXX -u CFLAGS -u CXXFLAGS -u LDFLAGS -u CMAKE_TOOLCHAIN_FILE \
        -u CMAKE_GENERATOR cmake -S "$source_dir" -B "$out" -G "$generator" \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release >"$out/configure.log" 2>&1
    then
        cat "$out/configure.log" >&2
        fail "$arch: configuring the cross build failed"
    fi
    if ! nice cmake --build "$out" --target vorlak -j 2 >"$out/build.log" 2>&1; then
        cat "$out/build.log" >&2
        fail "$arch: building Vorlak.dll failed"
    fi

    local dll=$out/bin/Vorlak.dll
    [ -f "$dll" ] || fail "$arch: $dll was not built"
    local dump
    dump=$("$triple-objdump" -p "$dll") || fail "$arch: objdump cannot read $dll"

    local magic
    magic=$(printf '%s\n' "$dump" | awk '$1 == "Magic" { print $3 }')
    [ "$magic" = "($format)" ] || fail "$arch: expected a $format image, objdump says '$magic'"

    # The name pointer table lists one "[ n] name" a line after its heading, up to a blank line.
    local exports
    exports=$(printf '%s\n' "$dump" | awk '
        /\[Ordinal\/Name Pointer\] Table/ { table = 1; next }
        table && /^[[:space:]]*$/ { table = 0 }
        table && /^[[:space:]]*\[ *[0-9]+\] +[^ ]+$/ { print $NF }
    ' | sort)
    [ -n "$exports" ] || fail "$arch: $dll exports nothing"

    local decorated
    decorated=$(printf '%s\n' "$exports" | grep '@' || true)
    [ -z "$decorated" ] || fail "$arch: decorated export names: $(echo $decorated)"

    local difference
    difference=$(diff <(printf '%s\n' "${expected[@]}") <(printf '%s\n' "$exports") || true)
    if [ -n "$difference" ]; then
        echo "$arch: exports differ from vorlak.h ('<' declared, not exported; '>' exported," \
            "not declared):" >&2
        printf '%s\n' "$difference" | grep '^[<>]' >&2
        fail "$arch: export table does not match vorlak.h (see vorlak/src/library/vorlak.def)"
    fi

    local imports
    imports=$(printf '%s\n' "$dump" | awk '/DLL Name:/ { print $3 }')
    [ -n "$imports" ] || fail "$arch: no import table found in $dll"
    local dll_name
    for dll_name in $imports; do
        is_system_dll "$dll_name" || fail "$arch: Vorlak.dll needs $dll_name, which Windows" \
            "does not have; link the runtime statically"
    done

    echo "$arch: $format, $(printf '%s\n' "$exports" | wc -l) exports as in vorlak.h," \
        "imports: $(echo $imports)"
}

check_arch i686 i686-w64-mingw32 PE32
check_arch x86_64 x86_64-w64-mingw32 PE32+
