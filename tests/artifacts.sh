#!/bin/bash
# artifacts.sh [DIR]: checks each release module in DIR (dist/) as its
# platform's host will load it: what it exports, what it imports and from
# where. Builds the modules into DIR first when it holds none.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/dist}
. "$root/scripts/deps.sh"
need file binutils binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
if ! ls "$dir"/*.mex* >/dev/null 2>&1; then
    "$root/scripts/dist.sh" "$dir" >/dev/null || { echo "artifacts: 0 passed, 1 failed"; exit 1; }
fi
failures=0
checked=0
bad=
fail() { echo "FAIL $file: $*"; bad=1; }
# counts the module just checked
tally() { checked=$((checked + 1)); [ -z "$bad" ] || failures=$((failures + 1)); bad=; }
index_ops="mxGetIr mxGetJc mxGetNzmax mxGetCell mxCreateDoubleMatrix mxCreateSparse"
# every module but blas_threads and sdp_chol reads sparse input, through mxGetJc
sparse_input() { case $1 in */blas_threads.* | */sdp_chol.*) return 1 ;; esac; }
# blas_threads and sdp_chol look routines up by name, through dlsym and dladdr
by_name() { case $1 in */blas_threads.* | */sdp_chol.*) return 0 ;; esac; return 1; }
# what the hosts' libmx and libmex give: the names the Windows import
# libraries are made from, without their _730 suffixes
host_ops=$(sed -n 's/^    \([A-Za-z0-9_]*\)$/\1/p' "$root/release/libmx730.def" \
    "$root/release/libmex.def" | sed 's/_730$//')

for file in "$dir"/*.mexa64; do
    [ -e "$file" ] || continue
    syms=$(readelf --dyn-syms -W "$file")
    defined=$(echo "$syms" | awk '$1 ~ /^[0-9]+:$/ && $7 != "UND" && $8 != "" && $5 != "LOCAL" && $4 != "SECTION" { print $8 }' | grep -v '^MEX$')
    [ "$defined" = "mexFunction@@MEX" ] || fail "defines $(echo $defined)"
    for op in $index_ops; do
        if echo "$syms" | grep -q " UND $op\b"; then
            echo "$syms" | grep -q " UND $op@v7.3\b" || fail "$op is not bound at v7.3"
        fi
    done
    sparse_input "$file" && ! echo "$syms" | grep -q " UND mxGetJc@v7.3" && fail "no mxGetJc@v7.3"
    for op in $(echo "$syms" | awk '$7 == "UND" && $8 ~ /^(mx|mex)[A-Z]/ { sub(/@.*/, "", $8); print $8 }'); do
        echo "$host_ops" | grep -qx "$op" || fail "imports $op, which the hosts' libraries do not give"
    done
    if by_name "$file"; then
        for f in dlsym dladdr; do
            echo "$syms" | grep -q " UND $f@GLIBC_2.2.5\b" || fail "$f is not bound at GLIBC_2.2.5"
        done
    fi
    # glibc's first versions alone: a host on an older system loads it
    glibc=$(echo "$syms" | grep -o '@GLIBC_[0-9.]*' | sort -u | tr '\n' ' ')
    [ -z "$glibc" ] || [ "$glibc" = "@GLIBC_2.2.5 " ] || fail "asks glibc for $glibc"
    needed=$(readelf -d "$file" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort | tr '\n' ' ')
    [ "$needed" = "libc.so.6 libmat.so libmex.so libmx.so " ] || fail "needs $needed"
    tally
done

for file in "$dir"/*.mexw64 "$dir"/*.mexw32; do
    [ -e "$file" ] || continue
    case $file in
    *.mexw64) objdump=x86_64-w64-mingw32-objdump suffix=_730 other=_700 ;;
    *) objdump=i686-w64-mingw32-objdump suffix=_700 other=_730 ;;
    esac
    p=$($objdump -p "$file")
    exports=$(echo "$p" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -E '^\s*\[ *[0-9]+\]' | awk '{print $NF}')
    [ "$exports" = "mexFunction" ] || fail "exports $(echo $exports)"
    echo "$p" | grep -q "Ordinal Base.*1" || fail "ordinal base is not 1"
    echo "$p" | grep -qE '\[ *0\] \+base\[ *1\]' || fail "mexFunction is not at ordinal 1"
    dlls=$(echo "$p" | sed -n 's/.*DLL Name: //p' | sort | tr '\n' ' ')
    [ "$dlls" = "KERNEL32.dll libmex.dll libmx.dll msvcrt.dll " ] || fail "imports from $dlls"
    mx=$(echo "$p" | sed -n '/DLL Name: libmx.dll/,/^$/p' | awk 'NF == 3 { print $3 }')
    for op in $index_ops; do
        if echo "$mx" | grep -q "^$op"; then
            echo "$mx" | grep -qx "$op$suffix" || fail "$op is not imported as $op$suffix"
        fi
        echo "$mx" | grep -qx "$op$other" && fail "imports $op$other"
    done
    sparse_input "$file" && ! echo "$mx" | grep -qx "mxGetJc$suffix" && fail "no mxGetJc$suffix"
    echo "$p" | sed -n '/DLL Name: libmex.dll/,/^$/p' | grep -q mexErrMsgTxt || fail "no mexErrMsgTxt"
    tally
done

[ "$checked" -gt 0 ] || { echo "no modules in $dir"; exit 1; }
echo "artifacts: $((checked - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
