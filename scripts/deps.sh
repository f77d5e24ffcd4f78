#!/usr/bin/env bash
# Installs the build tools and libraries when they are missing (only as root; otherwise it
# says what is missing and leaves the build to fail with the compiler's own message).
#
#   scripts/deps.sh           the POSIX build (cmake, g++, GoogleTest, Google Benchmark)
#   scripts/deps.sh windows   and the mingw-w64 cross compilers of make windows
#   scripts/deps.sh wine      and Wine, Xvfb and ImageMagick for make windows-test
#   scripts/deps.sh clang     and clang with its runtimes (libFuzzer, the sanitizers, profiles)
#                             and the llvm tools (llvm-profdata, llvm-cov) for make fuzz and
#                             make coverage
set -euo pipefail
need=()
command -v cmake >/dev/null 2>&1 || need+=(cmake)
command -v g++ >/dev/null 2>&1 || need+=(g++)
command -v make >/dev/null 2>&1 || need+=(make)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
[ -f /usr/include/gmock/gmock.h ] || need+=(libgmock-dev)
[ -f /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
# PNG previews: libpng encodes the pixels that the project draws itself (the terminal preview
# needs those pixels anyway), so the one small, long-kept library is enough.
[ -f /usr/include/png.h ] || need+=(libpng-dev)
# The preview tests parse the SVG they write with libxml2's parser.
[ -f /usr/include/libxml2/libxml/parser.h ] || need+=(libxml2-dev)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"; }

# Whether this machine's kernel runs 32-bit x86 programs: a 93-byte program that only exits.
runs_32bit() {
    local probe
    probe=$(mktemp)
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
    chmod +x "$probe"
    local ran=0
    "$probe" 2>/dev/null || ran=$?
    rm -f "$probe"
    [ "$ran" = 0 ]
}

i386=no
case "${1:-}" in
windows)
    for package in g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32; do
        installed "$package" || need+=("$package")
    done
    ;;
wine)
    for package in wine wine64 fonts-wine xvfb imagemagick; do
        installed "$package" || need+=("$package")
    done
    # The i686 build runs under wine32, which needs the i386 architecture and a kernel that
    # runs 32-bit programs; without them the x86_64 build runs under wine64.
    if ! installed wine32:i386 && [ "$(dpkg --print-architecture 2>/dev/null)" = amd64 ]; then
        if runs_32bit; then
            i386=yes
            need+=(wine32:i386)
        else
            echo "this machine's kernel does not run 32-bit programs: no wine32 (the x86_64" \
                 "build is tested under wine64)"
        fi
    fi
    ;;
clang)
    command -v clang++ >/dev/null 2>&1 || need+=(clang)
    if ! command -v clang++ >/dev/null 2>&1 ||
        [ ! -f "$(clang++ -print-resource-dir)/lib/linux/libclang_rt.fuzzer-$(uname -m).a" ]; then
        need+=(libclang-rt-dev)
    fi
    command -v llvm-profdata >/dev/null 2>&1 && command -v llvm-cov >/dev/null 2>&1 || need+=(llvm)
    ;;
"") ;;
*)
    echo "scripts/deps.sh: unknown set '$1' (none, windows, wine or clang)" >&2
    exit 2
    ;;
esac

[ ${#need[@]} -eq 0 ] && exit 0
if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
    echo "installing: ${need[*]}"
    export DEBIAN_FRONTEND=noninteractive
    [ "$i386" = yes ] && dpkg --add-architecture i386
    apt-get update -qq
    # The extra sets take only what they need.
    apt-get install -y -qq ${1:+--no-install-recommends} "${need[@]}"
else
    echo "missing packages (install them as root): ${need[*]}" >&2
fi
