#!/usr/bin/env bash
# Installs the build tools and libraries when they are missing (only as root; otherwise it
# says what is missing and leaves the build to fail with the compiler's own message).
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
[ ${#need[@]} -eq 0 ] && exit 0
if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
    echo "installing: ${need[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq "${need[@]}"
else
    echo "missing packages (install them as root): ${need[*]}" >&2
fi
