#!/usr/bin/env bash
# Runs every fuzz target of tests/fuzz/ as a fuzzer of clang's libFuzzer: the tree built with
# clang, the address and undefined-behaviour sanitizers and coverage feedback (the libraries and
# the host too, with -fsanitize=fuzzer-no-link), each target started from its seeds and run for
# the given number of seconds.
#
#   fuzz.sh BUILD-DIR SECONDS JOBS
#
# Corpora grow from run to run in BUILD-DIR/corpus/<target>. An input that makes a target fail
# is saved as BUILD-DIR/findings/<target>-crash-<hash> (or leak-, timeout-, oom-), with
# libFuzzer's report in BUILD-DIR/logs/<target>.log; replay it with
# `BUILD-DIR/tests/fuzz_<target> FILE`. Exit status 0 when no target found anything, 1 when one
# did, 2 when the arguments are wrong.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
seconds=${2:-60}
jobs=${3:-2}
case "$seconds" in
'' | *[!0-9]* | 0)
    echo "fuzz: FUZZ_SECONDS must be a whole number of seconds above 0, not '$seconds'" >&2
    exit 2
    ;;
esac

bash scripts/deps.sh clang
targets=()
for source in tests/fuzz/*.cpp; do
    targets+=("$(basename "$source" .cpp)")
done
echo "fuzz: building ${targets[*]} with clang, libFuzzer and the sanitizers in $build"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link -DVANTEL_SANITIZE=ON -DVANTEL_LIBFUZZER=ON \
    -DVANTEL_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target "${targets[@]/#/fuzz_}"

mkdir -p "$build/corpus" "$build/findings" "$build/logs"
found=()
summary=()
for i in "${!targets[@]}"; do
    target=${targets[$i]}
    fuzzer="$build/tests/fuzz_$target"
    corpus="$build/corpus/$target"
    log="$build/logs/$target.log"
    mkdir -p "$corpus"
    VANTEL_FUZZ_SEEDS="$corpus" "$fuzzer"
    echo "[$((i + 1))/${#targets[@]}] $target: fuzzing for $seconds s from" \
        "$(find "$corpus" -type f | wc -l) inputs (log: $log)"
    if "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$build/findings/$target-" "$corpus" >"$log" 2>&1; then
        executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        summary+=("$(printf '%-16s %12s executions, no finding' "$target" "${executions:-?}")")
    else
        tail -n 40 "$log"
        found+=("$target")
        summary+=("$(printf '%-16s FINDING, see %s and %s/findings/' "$target" "$log" "$build")")
    fi
done

echo
echo "fuzz: $seconds s per target"
printf '  %s\n' "${summary[@]}"
if [ ${#found[@]} -gt 0 ]; then
    echo "fuzz: findings in ${found[*]}" >&2
    exit 1
fi
