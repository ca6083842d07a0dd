#!/bin/sh
# exports.sh MODULE: the module defines mexFunction and no other dynamic
# symbol, and exports it in version node MEX.
set -eu
defined=$(nm -D --defined-only "$1" | awk '$2 != "A" { print $3 }')
if [ "$defined" != "mexFunction@@MEX" ] && [ "$defined" != "mexFunction" ]; then
    echo "$1 exports: $defined"; exit 1
fi
case "$(file -L "$1")" in
*64-bit*) [ "$defined" = "mexFunction@@MEX" ] || { echo "no version node MEX"; exit 1; } ;;
esac
echo "$1 exports mexFunction alone"
