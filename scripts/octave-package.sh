#!/bin/bash
# octave-package.sh [OUTDIR]: the archive that Octave's `pkg install`
# takes, as OUTDIR/sdpkernels-VERSION.tar.gz (OUTDIR: build/package).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/package}
version=$(sed -n 's/^Version: //p' "$root/package/DESCRIPTION")
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
pkg=$stage/sdpkernels
mkdir -p "$pkg/inst/data" "$pkg/src/help"
cp "$root/package/DESCRIPTION" "$root/package/INDEX" "$root/COPYING" "$pkg/"
cp "$root/package/Makefile" "$root/host/mexhost.h" "$root/host/loaded_pair.h" "$pkg/src/"
for m in kovalin brisset zandrel sdp_schur blas_threads sdp_chol; do
    cp "$root/$m/$m.cpp" "$pkg/src/"
    cp "$root/$m/$m.m" "$pkg/src/help/"     # installed beside the modules
done
cp "$root/sdp_solve/"*.m "$root/examples/"*.m "$pkg/inst/"
cp -r "$root/sdp_solve/private" "$pkg/inst/"
cp "$root/data/"*.dat-s "$root/data/README.md" "$pkg/inst/data/"
mkdir -p "$out"
tar -C "$stage" -czf "$out/sdpkernels-$version.tar.gz" sdpkernels
echo "$out/sdpkernels-$version.tar.gz"
