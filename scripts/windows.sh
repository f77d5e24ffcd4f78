#!/usr/bin/env bash
# make windows: cross-builds VantelPrintUsb.dll and vantel.exe for i686 (the library's native
# target) and x86_64 with mingw-w64, then checks each build: the plain exports under their
# undecorated names, no library beside Windows' own, and the resource section against the
# resource tables.
#
#   scripts/windows.sh POSIX_BUILD   (the POSIX build supplies the resource script's writer
#                                     and the resource test)
set -euo pipefail
cd "$(dirname "$0")/.."
posix=$(realpath "${1:-build}")
jobs=${JOBS:-2}
bash scripts/deps.sh windows

echo "== the resource script's writer and the resource test (POSIX build)"
cmake --build "$posix" --target vantel_resource_script test_resources \
    -j "$jobs"

# The plain functions of the export table: those the library declares (extern "C" AFX_EXT_API
# in the system folders' headers) and those expected once their folder is in the library.
expected_plain="IsConnectRX4400 ReceiveDesignDialog"
declared_plain=$( (grep -rhoE --include='*.h' 'extern "C" AFX_EXT_API [^(]*\(' \
    $(ls -d frame usb command design driver resources dialogs 2>/dev/null) || true) |
    sed -E 's/.*[^A-Za-z0-9_]([A-Za-z0-9_]+)\($/\1/' | sort -u)
# What Windows itself provides (the C runtime included, msvcrt.dll being part of Windows).
system_dlls="kernel32.dll user32.dll gdi32.dll comctl32.dll setupapi.dll advapi32.dll \
shell32.dll msvcrt.dll"

failures=0
fail() {
    echo "FAIL $*"
    failures=$((failures + 1))
}

check_imports() { # FILE [ALSO-ALLOWED-DLL]
    local dll
    for dll in $(objdump -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z'); do
        case " $system_dlls ${2:-} " in
        *" $dll "*) ;;
        *) fail "$(basename "$1") needs $dll, which is not part of Windows" ;;
        esac
    done
}

check_exports() { # DLL
    local names name
    names=$(objdump -p "$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
        sed -nE 's/^[[:space:]]*\[[[:space:]]*[0-9]+\] (.*)$/\1/p')
    echo "   $(wc -l <<<"$names") exports"
    for name in $(printf '%s\n' $expected_plain $declared_plain | sort -u); do
        if ! grep -qx "$name" <<<"$declared_plain"; then
            echo "   $name: not in the library yet (it is expected as a plain export once declared)"
        elif grep -qx "$name" <<<"$names"; then
            echo "   $name: exported undecorated"
        else
            fail "$name is not exported under its plain name (found: $(grep -E "$name" \
                <<<"$names" | tr '\n' ' '))"
        fi
    done
}

for arch in i686 x86_64; do
    dir=build-windows-$arch
    echo "== $arch: $dir"
    cmake -S . -B "$dir" --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-$arch.cmake \
        -DCMAKE_BUILD_TYPE=Release -DVANTEL_RESOURCE_SCRIPT="$posix/resources/vantel_resource_script"
    cmake --build "$dir" -j "$jobs"
    dll=$dir/bin/VantelPrintUsb.dll
    check_exports "$dll"
    check_imports "$dll"
    check_imports "$dir/bin/vantel.exe" vantelprintusb.dll
    check_imports "$dir/bin/vantel_wine_test.exe"
    VANTEL_WINDOWS_DLL=$(realpath "$dll") \
        "$posix/tests/test_resources" --gtest_filter="WindowsResourceSection.*" --gtest_brief=1 ||
        fail "the resource section of $dll differs from the resource tables"
done

if [ "$failures" -ne 0 ]; then
    echo "make windows: $failures check(s) failed"
    exit 1
fi
echo "make windows: both builds made and checked (build-windows-i686/bin, build-windows-x86_64/bin)"
