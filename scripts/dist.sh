#!/bin/bash
# dist.sh [DIR]: the release modules for every platform buildable on Linux,
# into DIR (dist/): NAME.mexa64 (64-bit Linux), NAME.mexw64 (64-bit
# Windows) and NAME.mexw32 (32-bit Windows) for kovalin, brisset, zandrel,
# sdp_schur, blas_threads and sdp_chol. Installs the cross compilers when
# they are missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/dist}
. "$root/scripts/deps.sh"
need cmake make g++ g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
mkdir -p "$out" "$root/build"
for platform in linux64: win64:cmake/mingw64.cmake win32:cmake/mingw32.cmake; do
    name=${platform%%:*}
    toolchain=${platform#*:}
    build=$root/build/release-$name
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DSDPK_TESTS=OFF \
        ${toolchain:+-DCMAKE_TOOLCHAIN_FILE=$root/$toolchain} >"$build.log" 2>&1 ||
        { cat "$build.log"; exit 1; }
    cmake --build "$build" -j"$(nproc)" --target kovalin brisset zandrel sdp_schur blas_threads sdp_chol >>"$build.log" 2>&1 ||
        { tail -40 "$build.log"; exit 1; }
    for m in kovalin brisset zandrel sdp_schur blas_threads sdp_chol; do
        cp "$build/$m/$m".mex* "$out/"
    done
done
ls -l "$out"
