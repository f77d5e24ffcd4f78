#!/usr/bin/env bash
# Installs the build tools and libraries when they are missing (only as root; otherwise it
# says what is missing and leaves the build to fail with the compiler's own message).
# `deps.sh clang` also wants clang with its runtimes (libFuzzer, the sanitizers, profiles) and
# the llvm tools (llvm-profdata, llvm-cov), which `make fuzz` and `make coverage` use.
set -euo pipefail
need=()
if [ "${1:-}" = clang ]; then
    command -v clang++ >/dev/null 2>&1 || need+=(clang)
    if ! command -v clang++ >/dev/null 2>&1 ||
        [ ! -f "$(clang++ -print-resource-dir)/lib/linux/libclang_rt.fuzzer-$(uname -m).a" ]; then
        need+=(libclang-rt-dev)
    fi
    command -v llvm-profdata >/dev/null 2>&1 && command -v llvm-cov >/dev/null 2>&1 || need+=(llvm)
fi
command -v cmake >/dev/null 2>&1 || need+=(cmake)
command -v g++ >/dev/null 2>&1 || need+=(g++)
command -v make >/dev/null 2>&1 || need+=(make)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
[ -f /usr/include/gmock/gmock.h ] || need+=(libgmock-dev)
[ -f /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
[ ${#need[@]} -eq 0 ] && exit 0
if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
    echo "installing: ${need[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq "${need[@]}"
else
    echo "missing packages (install them as root): ${need[*]}" >&2
fi
