#!/bin/bash
# accuracy.sh [NAME...]: sdp_solve on SDPLIB problems (by default every
# problem in the data folder, or in $SDPLIB_DIR), each in an Octave of its
# own, with the default options: prints the Markdown table of
# BENCHMARKS.md of the statuses, the digits against the published values
# and the six DIMACS measures. Builds the modules with Octave's own tool
# first, and installs what it needs when it is missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/deps.sh"
need g++ make octave octave-dev libopenblas0-pthread
"$root/scripts/build-octave.sh" brisset kovalin zandrel sdp_schur blas_threads sdp_chol
modules=$root/build/octave
octave-cli --no-gui --norc --quiet --eval "printf ('BLAS: %s\n', version ('-blas'))" 2>/dev/null || true
. "$root/bench/octave_runs.sh"
[ $# -gt 0 ] || set -- $(sdplib_names)
each_alone "accuracy_bench ({'@ITEM@'}, '@SAVED@');" "accuracy_bench ('@SAVED@');" "$@"
