#!/usr/bin/env bash
# Line coverage of the test suite per folder: the tree built with clang's source-based coverage
# (-fprofile-instr-generate -fcoverage-mapping), every test run (the vantel processes they start
# included), the profiles merged with llvm-profdata and the lines of the libraries and the host
# counted with llvm-cov. Tests and benchmarks are not counted.
#
#   coverage.sh BUILD-DIR JOBS
#
# Writes BUILD-DIR/coverage/tests.profdata and the per-file report BUILD-DIR/coverage/files.txt;
# exits with 1 when a test failed (the coverage is reported all the same).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-coverage}
jobs=${2:-2}

bash scripts/deps.sh clang
flags="-fprofile-instr-generate -fcoverage-mapping"
echo "coverage: building the tree with clang and coverage in $build"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_CXX_FLAGS="$flags" -DVANTEL_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs"

out="$(cd "$build" && pwd)/coverage"
rm -rf "$out"
mkdir -p "$out/profiles"
# One profile per module, which every process that runs it merges into (%m).
status=0
(cd "$build" && LLVM_PROFILE_FILE="$out/profiles/%2m.profraw" ctest -j "$jobs") || status=1
llvm-profdata merge -sparse -o "$out/tests.profdata" "$out"/profiles/*.profraw

objects=()
for object in "$build"/lib/*.so "$build/host/vantel"; do
    objects+=(-object "$object")
done
ignore='^/usr/|/tests/|/bench/'
# (Inline functions that several of the objects hold may be reported as mismatched data.)
llvm-cov report -instr-profile="$out/tests.profdata" -ignore-filename-regex="$ignore" \
    "${objects[@]}" >"$out/files.txt" 2>&1
echo
echo "Line coverage of the test suite (per file: $out/files.txt)"
llvm-cov export -format=lcov -summary-only -instr-profile="$out/tests.profdata" \
    -ignore-filename-regex="$ignore" "${objects[@]}" 2>/dev/null |
    awk -v root="$(pwd)/" '
        /^SF:/ {
            path = substr($0, 4)
            if (index(path, root) == 1)
                path = substr(path, length(root) + 1)
            n = split(path, part, "/")
            folder = (part[1] == "platform" && n > 2) ? part[1] "/" part[2] : part[1]
            if (n == 1)
                folder = "."
        }
        /^LF:/ { lines[folder] += substr($0, 4); total += substr($0, 4) }
        /^LH:/ { hit[folder] += substr($0, 4); covered += substr($0, 4) }
        END {
            printf "  %-18s %8s %8s %7s\n", "folder", "lines", "covered", "cover"
            for (f in lines)
                printf "  %-18s %8d %8d %6.1f%%\n", f, lines[f], hit[f], 100 * hit[f] / lines[f] | "sort"
            close("sort")
            printf "  %-18s %8d %8d %6.1f%%\n", "all", total, covered, 100 * covered / total
        }'
if [ $status -ne 0 ]; then
    echo "coverage: some tests failed (see above)" >&2
fi
exit $status
