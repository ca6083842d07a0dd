#!/bin/bash
# Builds the modules for Octave and runs the example: sdp_example solves
# SDPLIB's arch0 with sdp_solve on the modules, or the problem in the SDPA
# file given as the first argument, and sets the time of the Schur
# complement beside the time with Octave expressions.
# Installs the Debian packages it needs when they are missing.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh
need g++ make octave octave-dev libopenblas0-pthread
file=${1:-}
octave-cli --no-gui --norc --quiet --path sdp_solve --path examples \
    --eval "addpath (build_modules ()); sdp_example (${file:+'$file'})" 2>&1 |
    grep -v "ignoring const execution_exception"
exit "${PIPESTATUS[0]}"
