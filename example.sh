#!/bin/bash
# Builds the modules for Octave and runs the example: sdp_example on the
# bundled problem, or on the SDPA file given as the first argument.
# Installs the Debian packages it needs when they are missing.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh
need g++ make octave octave-dev
file=${1:-}
octave-cli --no-gui --norc --quiet --path examples \
    --eval "addpath (build_modules ()); sdp_example (${file:+'$file'})" 2>&1 |
    grep -v "ignoring const execution_exception"
exit "${PIPESTATUS[0]}"
