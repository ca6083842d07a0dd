#!/bin/bash
# The Octave suite: builds each module with Octave's own tool, then runs
# the tests beside each function and the SDPLIB checks in octave-cli.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/deps.sh"
need g++ make octave octave-dev libopenblas0-pthread
out=$root/build/octave
modules="brisset kovalin zandrel sdp_schur blas_threads sdp_chol"
"$root/scripts/build-octave.sh" $modules
tests="$modules sdp_solve read_sdpa sdplib_file sdplib_value help_texts build_elsewhere package_install weighted_sums hessian_rows hessian_entries schur_complements"
# the solver's own parts, each tested from its private folder
for f in "$root"/sdp_solve/private/*.m; do
    grep -q '^%!' "$f" && tests="$tests $root/sdp_solve/private/$(basename "$f" .m)"
done
args=$(printf "'%s'," $tests)
octave-cli --no-gui --norc --quiet \
    --path "$out" --path "$root" --path "$root/sdp_solve" --path "$root/examples" --path "$root/tests/octave" \
    --eval "exit (! run_suite (${args%,}))" 2>&1 | grep -v "ignoring const execution_exception"
exit "${PIPESTATUS[0]}"
