#!/bin/bash
# fuzz.sh [SECONDS]: builds the libFuzzer harnesses, one a module, with
# Clang under AddressSanitizer and UndefinedBehaviorSanitizer, and runs each for
# SECONDS (60), starting from the seeds in fuzz/corpus/NAME. New inputs go
# to build/fuzz-corpus/NAME; anything found is written to build/fuzz-found.
# Installs Clang when it is missing.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
. "$root/scripts/deps.sh"
need cmake make clang-14 libclang-rt-14-dev
build=$root/build/fuzz
mkdir -p "$root/build"
CXX=clang++-14 cmake -S "$root" -B "$build" -DSDPK_FUZZ=ON -DSDPK_TESTS=OFF \
    -DSDPK_OCTAVE_TESTS=OFF >"$build.log" 2>&1 &&
    cmake --build "$build" -j"$(nproc)" >>"$build.log" 2>&1 ||
    { tail -40 "$build.log"; echo "fuzz: 0 passed, 1 failed"; exit 1; }
passed=0
failed=0
mkdir -p "$root/build/fuzz-found"
for m in kovalin brisset zandrel sdp_schur blas_threads sdp_chol; do
    mkdir -p "$root/build/fuzz-corpus/$m"
    if "$build/fuzz/${m}_fuzz" -max_total_time="$seconds" -timeout=10 \
        -artifact_prefix="$root/build/fuzz-found/$m-" \
        "$root/build/fuzz-corpus/$m" "$root/fuzz/corpus/$m" >"$root/build/fuzz-$m.log" 2>&1; then
        echo "fuzz $m: $(grep -E '^Done' "$root/build/fuzz-$m.log")"
        passed=$((passed + 1))
    else
        echo "fuzz $m: FOUND a failure"
        grep -E "violated|ERROR|runtime error|SUMMARY" "$root/build/fuzz-$m.log" | head -5
        failed=$((failed + 1))
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
