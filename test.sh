#!/bin/bash
# Runs every test: the unit tests as a 64-bit build, a genuine 32-bit build
# and a build under AddressSanitizer and UndefinedBehaviorSanitizer, all
# through the stand-in host, and the Octave suite in the real host; then
# builds the release modules into dist/, inspects them, and runs the unit
# tests against them: the .mexa64 files natively, the .mexw64 and .mexw32
# files under wine. Installs the Debian packages it needs when they are
# missing. Last, it fuzzes each module for a minute (SDPK_FUZZ_SECONDS)
# and runs the modules' calls in Octave under valgrind.
set -uo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh
need cmake make g++ g++-multilib googletest libbenchmark-dev file binutils octave octave-dev libopenblas0-pthread \
    g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine64 wine valgrind
need_i386 wine32:i386

jobs=$(nproc)
passed=0
failed=0
skipped=0
# set, the run of NAME builds, and its tests are skipped
build_only=
# more arguments of ctest for a run
ctest_extra=
run() {
    local name=$1
    shift
    echo "=== $name"
    if ! cmake -S . -B "build/$name" "$@" >"build/$name.configure.log" 2>&1 ||
       ! cmake --build "build/$name" -j"$jobs" >"build/$name.build.log" 2>&1; then
        cat "build/$name.configure.log" "build/$name.build.log" 2>/dev/null | tail -40
        echo "$name: the build failed"
        failed=$((failed + 1))
        return
    fi
    if [ -n "$build_only" ]; then
        echo "$name: built; its tests are skipped: $build_only"
        skipped=$((skipped + 1))
        return
    fi
    # under wine a test program may fail to start, in listing its tests too:
    # the run is made again, up to three times in all, while it has not
    # passed; a test that fails, fails every time
    local attempt
    for attempt in 1 2 3; do
        (cd "build/$name" && ctest --output-on-failure -j"$jobs" $ctest_extra) >"build/$name.log" 2>&1
        grep -qE "tests passed, 0 tests failed out of [1-9]" "build/$name.log" && break
        [ -n "$ctest_extra" ] || break
        echo "$name: run $attempt did not pass; once more"
    done
    tail -n 3 "build/$name.log" | head -n 1
    grep -E "\*\*\*|Failed|Not Run" "build/$name.log" | head -40 || true
    local line total bad
    line=$(grep -E "tests passed, [0-9]+ tests? failed out of" "build/$name.log" || echo "0 tests failed out of 0")
    bad=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed.*/\1/')
    total=$(echo "$line" | sed -E 's/.*out of ([0-9]+).*/\1/')
    [ "$total" -gt 0 ] || bad=1
    passed=$((passed + total - bad))
    failed=$((failed + bad))
}

# the plain closing line "N passed, N failed" of another runner
tally() {
    local line
    line=$(grep -E "^[a-z]+: [0-9]+ passed, [0-9]+ failed" "$1" | tail -n 1)
    [ -n "$line" ] || line="none: 0 passed, 1 failed"
    passed=$((passed + $(echo "$line" | sed -E 's/.* ([0-9]+) passed.*/\1/')))
    failed=$((failed + $(echo "$line" | sed -E 's/.* ([0-9]+) failed.*/\1/')))
}

mkdir -p build
# Some kernels are built without IA-32 emulation: there no 32-bit program,
# Linux or Windows, can be started, and the 32-bit runs can only be built.
no32=
printf 'int main(void) { return 0; }\n' >build/probe32.c
if ! gcc -m32 build/probe32.c -o build/probe32 >/dev/null 2>&1 || ! build/probe32 2>/dev/null; then
    no32="this machine's kernel cannot run 32-bit programs"
fi
run 64
build_only=$no32 run 32 -DCMAKE_TOOLCHAIN_FILE=cmake/m32.cmake -DSDPK_OCTAVE_TESTS=OFF
run sanitize -DSDPK_SANITIZE=ON -DSDPK_OCTAVE_TESTS=OFF

echo "=== dist"
if scripts/dist.sh "$PWD/dist" >build/dist.log 2>&1; then
    tests/artifacts.sh dist | tee build/artifacts.log | tail -n 5
    tally build/artifacts.log
    run dist-linux64 -DSDPK_MODULE_DIR="$PWD/dist" -DSDPK_OCTAVE_TESTS=OFF
    # each wine prefix is made once, before the tests time their programs
    export WINEDEBUG=-all WINEARCH=win64 WINEPREFIX="$PWD/build/wine64"
    wine64=wine
    [ -x /usr/lib/wine/wine64 ] && wine64=/usr/lib/wine/wine64
    # one server for the prefix's start and all the test programs, so that
    # none races another to start or stop it
    mkdir -p "$WINEPREFIX"
    wineserver -p >/dev/null 2>&1
    "$wine64" wineboot -i >/dev/null 2>&1
    # a test program that wine fails to start ("wine client error") is run
    # again, up to three times; a test that fails, fails every time
    ctest_extra="--repeat until-pass:3" \
        run dist-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw64.cmake -DSDPK_MODULE_DIR="$PWD/dist"
    wineserver -k >/dev/null 2>&1
    export WINEARCH=win32 WINEPREFIX="$PWD/build/wine32"
    [ -n "$no32" ] || { mkdir -p "$WINEPREFIX"; wineserver -p >/dev/null 2>&1; wineboot -i >/dev/null 2>&1; }
    build_only=$no32 ctest_extra="--repeat until-pass:3" \
        run dist-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw32.cmake -DSDPK_MODULE_DIR="$PWD/dist"
    [ -n "$no32" ] || wineserver -k >/dev/null 2>&1
else
    tail -n 40 build/dist.log
    echo "dist: the release build failed"
    failed=$((failed + 1))
fi
echo "=== fuzz (${SDPK_FUZZ_SECONDS:-60} s a module)"
scripts/fuzz.sh "${SDPK_FUZZ_SECONDS:-60}" | tee build/fuzz.log
tally build/fuzz.log

echo "=== valgrind"
tests/octave/valgrind.sh | tee build/valgrind-run.log | tail -n 3
tally build/valgrind-run.log

echo "all: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
