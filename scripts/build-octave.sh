#!/bin/bash
# Builds the modules for Octave with Octave's own tool, from the repository
# root and with no other flags, into build/octave beside their help files.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/deps.sh"
need g++ make octave octave-dev libopenblas0-pthread
out=$root/build/octave
mkdir -p "$out"
cd "$root"
for m in "$@"; do
    mkoctfile --mex -Ihost "$m/$m.cpp"
    mv "$m.mex" "$out/"
    cp "$m/$m.m" "$out/"
done
