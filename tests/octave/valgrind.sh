#!/bin/bash
# Runs the modules' calls (valgrind_calls.m) in Octave under valgrind's
# memcheck, with Octave's own noise suppressed (octave.supp), and counts
# the errors whose stack passes through a module, and the blocks a module
# requested and lost: there must be none.
# `valgrind.sh --suppressions` writes octave.supp anew from a run that
# calls no module.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
. "$root/scripts/deps.sh"
need g++ make octave octave-dev libopenblas0-pthread valgrind
log=$root/build/valgrind.log
mkdir -p "$root/build"
octave=(octave-cli --no-gui --norc --quiet --path "$root/build/octave"
        --path "$root/sdp_solve" --path "$root/examples" --path "$here")
if [ "${1:-}" = "--suppressions" ]; then
    valgrind --tool=memcheck --leak-check=full --gen-suppressions=all --log-file="$log" \
        "${octave[@]}" --eval "1;" >/dev/null 2>&1
    grep -v '^==' "$log" > "$here/octave.supp"
    echo "$(grep -c '^{' "$here/octave.supp") suppressions in $here/octave.supp"
    exit 0
fi
"$root/scripts/build-octave.sh" brisset kovalin zandrel sdp_schur blas_threads sdp_chol
# libhwy's start-up runs rdtscp, which valgrind cannot: a stand-in for it
preload=
if ldconfig -p | grep 'libhwy\.so\.1 ' >/dev/null; then
    printf 'HWY_0 { global: *; };\n' >"$root/build/hwy_stub.map"
    g++ -shared -fPIC -O2 -Wl,--version-script="$root/build/hwy_stub.map" \
        "$here/hwy_stub.cpp" -o "$root/build/libhwy_stub.so"
    preload=$root/build/libhwy_stub.so
fi
LD_PRELOAD=$preload valgrind --tool=memcheck --keep-debuginfo=yes --error-limit=no --num-callers=40 --track-origins=yes --leak-check=full \
    --suppressions="$here/octave.supp" --log-file="$log" \
    "${octave[@]}" --eval "valgrind_calls" 2>&1 | grep -v "ignoring const execution_exception" |
    tee "$root/build/valgrind-calls.log"
# the calls ran to their end, or nothing was checked
done_=$(grep -c "valgrind_calls: .* done" "$root/build/valgrind-calls.log")
# An error record: from a line naming the error to the blank line after it.
# A leak record counts where a module requested the block itself (a
# module's frame right under the allocator's), as a block kept between
# calls and never let go of would be; Octave's own blocks that a module's
# call leaves lost do not. The modules' frames are named in leak records,
# printed after Octave has unloaded them, through --keep-debuginfo.
in_modules=$(awk '
    /^==[0-9]+== [A-Z]/ && !/^==[0-9]+== (HEAP|LEAK|ERROR|Memcheck|Copyright|Using|Command|For|All|Parent|Use|Rerun)/ { rec = 1; leak = 0; mod = 0; next }
    /^==[0-9]+== [0-9,]+ bytes in [0-9,]+ blocks are (definitely|indirectly|possibly) lost/ { rec = 1; leak = 1; mod = 0; above = ""; next }
    rec && !leak && /(kovalin|brisset|zandrel|sdp_schur|blas_threads|sdp_chol)\.(cpp|mex)/ { mod = 1 }
    rec && leak && above ~ /: mx(Malloc|Calloc|Realloc|ArrayToString) / && /(kovalin|brisset|zandrel|sdp_schur|blas_threads|sdp_chol)\.(cpp|mex)/ { mod = 1 }
    rec && leak { above = $0 }
    rec && /^==[0-9]+== *$/ { if (mod) n++; rec = 0 }
    END { print n + 0 }' "$log")
summary=$(grep "ERROR SUMMARY" "$log" | tail -n 1 | sed 's/^==[0-9]*== //')
echo "valgrind: $summary"
echo "valgrind: $in_modules errors in the modules (log: $log)"
[ "$done_" -eq 1 ] || echo "valgrind: Octave did not run the calls to their end"
[ "$in_modules" -eq 0 ] && [ "$done_" -eq 1 ] && echo "valgrind: 1 passed, 0 failed" ||
    { echo "valgrind: 0 passed, 1 failed"; exit 1; }
