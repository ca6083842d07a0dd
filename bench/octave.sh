#!/bin/bash
# The Octave benchmarks: builds the modules, their plain builds and the
# read-once floor with Octave's mkoctfile (as build_modules does) into
# build/octave-bench, then times them on the SDPA files given, by default
# every problem in the data folder (or in $SDPLIB_DIR), and then the rows
# of the Schur complement beside the touch floor (schur_rows.m), each
# problem in an Octave of its own.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/deps.sh"
need g++ make octave octave-dev libopenblas0-pthread
out=$root/build/octave-bench
mkdir -p "$out"
export CXXFLAGS="$(mkoctfile -p CXXFLAGS) -ffp-contract=off"
for m in kovalin brisset zandrel; do
    mkoctfile --mex -I"$root/host" "$root/$m/$m.cpp" -o "$out/$m.mex"
    # (mkoctfile hands its arguments to a shell once more)
    mkoctfile --mex -I"$root/host" "-DSDPK_KERNELS=\\\"$root/bench/plain_$m.h\\\"" \
        "$root/$m/$m.cpp" -o "$out/${m}_plain.mex"
done
mkoctfile --mex -I"$root/host" "-DSDPK_KERNELS=\\\"$root/bench/floor_brisset.h\\\"" \
    "$root/brisset/brisset.cpp" -o "$out/brisset_floor.mex"
mkoctfile --mex -I"$root/host" "$root/bench/readonce.cpp" -o "$out/readonce.mex"
mkoctfile --mex -I"$root/host" "$root/bench/touchfloor.cpp" -o "$out/touchfloor.mex"
mkoctfile --mex -I"$root/host" -DTOUCHFLOOR_ASKS_COLUMNS "$root/bench/touchfloor.cpp" \
    -o "$out/touchfloor_columns.mex"
rm -f "$out"/*.o
if [ $# -eq 0 ]; then
    dir=${SDPLIB_DIR:-$root/data}
    set -- "$dir"/*.dat-s
fi
files=()
list=""
for f in "$@"; do
    files+=("$(cd "$(dirname "$f")" && pwd)/$(basename "$f")")
    list="$list'${files[-1]}',"
done
# The Schur rows of each problem in an Octave of its own, then printed
# together: the host's heap after thousands of large blocks, or a problem
# of thousands of elements, makes every later call of a module dearer (the
# Schur rows of theta of order 500 by a third, their floor by a quarter).
modules=$out
. "$root/bench/octave_runs.sh"
octave_run "octave_bench ({${list%,}});"
each_alone "schur_rows ({'@ITEM@'}, '@SAVED@');" "schur_rows ('@SAVED@');" "${files[@]}"
