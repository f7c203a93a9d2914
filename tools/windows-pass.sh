#!/usr/bin/env bash
# The Windows pass, run by `bash build.sh windows` and `bash build.sh test`:
#   tools/windows-pass.sh LINUX_BIN
# cross-builds morvane-cli.exe and the tests of the core and the command line
# with MinGW-w64 into build-windows/, runs each test executable once under Wine,
# checks that the Windows command line writes the same files as the Linux one
# in LINUX_BIN (morvane-cli and morvane-world), and packs
# dist/morvane-windows-x64.zip. Run from the project's folder.
set -euo pipefail

if [ $# -ne 1 ] || [ ! -x "$1/morvane-cli" ] || [ ! -x "$1/morvane-world" ]; then
    echo "usage: $0 LINUX_BIN   (the folder of a Linux build's morvane-cli and morvane-world)" >&2
    exit 1
fi
linux_bin=$(cd "$1" && pwd -P)
root=$(pwd -P)
build=$root/build-windows
bin=$build/bin

step() { # label, command...: runs it and says how long it took
    local label=$1 start=$SECONDS
    shift
    "$@"
    echo "-- $label: $((SECONDS - start)) s"
}

# ---- the cross-build ------------------------------------------------------------
cross_build() {
    cmake -S . -B "$build" -G Ninja --toolchain "$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release
    cmake --build "$build" --parallel "$(nproc)"
}
step "cross-build" cross_build

# ---- Wine -----------------------------------------------------------------------
# A prefix of its own under the build folder; no Mono or Gecko installers.
export WINEPREFIX=$build/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINE=/usr/lib/wine/wine64
wine_prefix() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$WINE" wineboot --init >"$build/wineboot.log" 2>&1 || true
        /usr/lib/wine/wineserver -w
    fi
    [ -f "$WINEPREFIX/system.reg" ] || { cat "$build/wineboot.log" >&2; echo "the Wine prefix could not be made" >&2; exit 1; }
}
step "Wine prefix" wine_prefix

# Each test executable runs once, with every test case in it. The locale is
# C.UTF-8: Wine stores Windows file names on Linux in the locale's character
# set, so in the plain C locale no name beyond ASCII can be made at all; the
# Windows code page stays 1252 all the same, so a program that passed names
# through the narrow (ANSI) calls would get them wrong, and the tests see it.
failed=()
run_tests() { # executable, gtest arguments...
    local exe=$1
    shift
    echo "== $exe $*"
    if ! (cd "$bin" && LANG=C.UTF-8 LC_ALL=C.UTF-8 "$WINE" "./$exe" --gtest_brief=1 "$@"); then
        failed+=("$exe $*")
    fi
}
for suite in platform model pipeline output cli; do
    [ -f "$bin/${suite}_tests.exe" ] || { echo "$bin/${suite}_tests.exe was not built" >&2; exit 1; }
    step "${suite}_tests under Wine" run_tests "${suite}_tests.exe"
done
# The smoothing tests once more with the portable kernels only (the first run
# used AVX2 where the processor has it).
export MORVANE_NO_AVX2=1
step "smoothing tests, portable kernels" run_tests pipeline_tests.exe '--gtest_filter=*Smoothing*:FastStages*'
unset MORVANE_NO_AVX2
if [ ${#failed[@]} -gt 0 ]; then
    printf 'failed under Wine: %s\n' "${failed[@]}" >&2
    exit 1
fi

# ---- the same files as on Linux ------------------------------------------------------
compare=$build/compare
rm -rf "$compare"
mkdir -p "$compare/linux" "$compare/windows" "$compare/zip"
"$linux_bin/morvane-world" --width 1024 --height 768 --seed 5 "$compare/world.bmp"

# The preview PNGs must show the same pixels; their bytes are the same too
# while both sides use the same zlib, which is checked first.
same_png_pixels() { # a.png b.png
    cmp -s "$1" "$2" && return 0
    command -v python3 >/dev/null || { echo "$1 and $2 differ (no python3 to compare their pixels)" >&2; return 1; }
    python3 - "$1" "$2" <<'PY'
import sys, zlib
def pixels(name):
    data = open(name, 'rb').read()
    at, header, idat = 8, None, b''
    while at < len(data):
        length = int.from_bytes(data[at:at + 4], 'big')
        kind, body = data[at + 4:at + 8], data[at + 8:at + 8 + length]
        if kind == b'IHDR': header = body
        if kind == b'IDAT': idat += body
        at += 12 + length
    return header, zlib.decompress(idat)   # filtered rows: the filters are chosen alike
sys.exit(0 if pixels(sys.argv[1]) == pixels(sys.argv[2]) else 1)
PY
}

same_files() { # folder a, folder b: every file the same
    local a=$1 b=$2 name ok=0
    [ "$(cd "$a" && ls)" = "$(cd "$b" && ls)" ] || { echo "$a and $b hold different files" >&2; return 1; }
    for name in $(cd "$a" && ls); do
        case $name in
            *.png) same_png_pixels "$a/$name" "$b/$name" || { echo "$name: the pixels differ" >&2; ok=1; } ;;
            *) cmp "$a/$name" "$b/$name" || ok=1 ;;
        esac
    done
    return $ok
}

# A MUL map with its statics and preview, and a UOP map, on either system;
# then the MUL map read back into a picture with its heights, and the painted
# picture merged into the map (what the import reads differs from it in
# places), its statics carried over.
arguments_mul=(-q --seed 77 --size 1024x768 --statics --preview preview.png -o map0.mul ../world.bmp)
arguments_uop=(-q --seed 78 --size 1024x768 -o map0LegacyMUL.uop ../world.bmp)
arguments_import=(--import map0.mul --size 1024x768 -o back.bmp --heights-out heights.png)
arguments_merge=(-q --seed 79 --size 1024x768 --merge-into map0.mul ../world.bmp -o map1.mul)
compare_runs() { # the warnings, on standard output, must be the same too
    (cd "$compare/linux" && "$linux_bin/morvane-cli" "${arguments_mul[@]}" >../linux.txt &&
        "$linux_bin/morvane-cli" "${arguments_uop[@]}" >>../linux.txt &&
        "$linux_bin/morvane-cli" "${arguments_import[@]}" >>../linux.txt &&
        "$linux_bin/morvane-cli" "${arguments_merge[@]}" >>../linux.txt)
    (cd "$compare/windows" && "$WINE" "$bin/morvane-cli.exe" "${arguments_mul[@]}" >../windows.txt &&
        "$WINE" "$bin/morvane-cli.exe" "${arguments_uop[@]}" >>../windows.txt &&
        "$WINE" "$bin/morvane-cli.exe" "${arguments_import[@]}" >>../windows.txt &&
        "$WINE" "$bin/morvane-cli.exe" "${arguments_merge[@]}" >>../windows.txt)
    same_files "$compare/linux" "$compare/windows"
    cmp "$compare/linux.txt" "$compare/windows.txt"
}
step "Linux and Windows maps compared" compare_runs
echo "The Windows command line wrote the same files as the Linux one:" $(cd "$compare/windows" && ls)

# ---- the archive --------------------------------------------------------------------
zip_file=$root/dist/morvane-windows-x64.zip
package() {
    local stage=$build/package
    rm -rf "$stage" "$zip_file"
    mkdir -p "$stage" "$root/dist"
    cp "$bin/morvane-cli.exe" "$bin/Tiles.ini" "$bin/Tiles-0.5.ini" "$stage/"
    cp "$root/docs/README-windows.txt" "$stage/"
    x86_64-w64-mingw32-strip "$stage/morvane-cli.exe"
    (cd "$stage" && zip -q -X "$zip_file" morvane-cli.exe Tiles.ini Tiles-0.5.ini README-windows.txt)
}
step "archive" package

# What the archive holds: these four files, the program a 64-bit Windows
# executable that needs only the DLLs of Windows itself, nothing built for Linux.
check_archive() {
    local unpacked=$compare/zip names
    names=$(unzip -Z1 "$zip_file" | sort | tr '\n' ' ')
    [ "$names" = "README-windows.txt Tiles-0.5.ini Tiles.ini morvane-cli.exe " ] || { echo "the archive holds: $names" >&2; return 1; }
    unzip -q -o "$zip_file" -d "$unpacked"
    file -b "$unpacked/morvane-cli.exe" | grep -q '^PE32+ executable (console) x86-64' ||
        { echo "morvane-cli.exe is: $(file -b "$unpacked/morvane-cli.exe")" >&2; return 1; }
    for name in Tiles.ini Tiles-0.5.ini README-windows.txt; do
        file -b "$unpacked/$name" | grep -q 'text' || { echo "$name is: $(file -b "$unpacked/$name")" >&2; return 1; }
    done
    local dlls
    dlls=$(x86_64-w64-mingw32-objdump -p "$unpacked/morvane-cli.exe" | sed -n 's/^\tDLL Name: //p' | sort -u)
    if echo "$dlls" | grep -viqE '^(kernel32|msvcrt|advapi32|user32|shell32|ole32|ws2_32|bcrypt|ntdll|api-ms-win-[a-z0-9-]+)\.dll$'; then
        echo "morvane-cli.exe needs DLLs that Windows does not have: $(echo $dlls)" >&2
        return 1
    fi
    # The unpacked program runs on its own with the Tiles.ini beside it.
    mkdir -p "$unpacked/run"
    (cd "$unpacked/run" && "$WINE" ../morvane-cli.exe -q --seed 78 --size 1024x768 -o map0LegacyMUL.uop ../../world.bmp >/dev/null)
    cmp "$unpacked/run/map0LegacyMUL.uop" "$compare/linux/map0LegacyMUL.uop"
    echo "dist/morvane-windows-x64.zip: morvane-cli.exe (PE32+, needs only" $dlls"), Tiles.ini, Tiles-0.5.ini, README-windows.txt"
}
step "archive checked" check_archive
/usr/lib/wine/wineserver -k 2>/dev/null || true
