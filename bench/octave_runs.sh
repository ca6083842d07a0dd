# Sourced by the Octave benchmarks, with $modules set to the folder of the
# built modules.
#
# octave_run EXPR: evaluates EXPR in octave-cli, with the modules, the
# benchmarks and the solver on the path.
octave_run() {
    octave-cli --no-gui --norc --quiet --path "$modules" --path "$root/bench" \
        --path "$root/sdp_solve" --eval "$1" 2>&1 |
        { grep --line-buffered -v "ignoring const execution_exception" || [ $? -eq 1 ]; }
}

# each_alone MEASURE PRINT ITEM...: evaluates MEASURE for each item in an
# Octave of its own, with @ITEM@ replaced by the item and @SAVED@ by a file
# to save its results in, and then PRINT, with @SAVED@ replaced by the
# folder of those files. The host's heap after the work before makes every
# later call of a module dearer, so that an item's results would follow
# what ran before it.
each_alone() {
    local measure=$1 print=$2 saved k=0 item expr
    shift 2
    saved=$(mktemp -d)
    for item in "$@"; do
        k=$((k + 1))
        expr=${measure//@ITEM@/$item}
        octave_run "${expr//@SAVED@/$saved/$k.mat}" || { rm -rf "$saved"; return 1; }
    done
    local status=0
    octave_run "${print//@SAVED@/$saved}" || status=$?
    rm -rf "$saved"
    return $status
}

# sdplib_names: the names of the problems in $SDPLIB_DIR, or in the data
# folder, one a line.
sdplib_names() {
    local f
    for f in "${SDPLIB_DIR:-$root/data}"/*.dat-s; do
        basename "$f" .dat-s
    done
}
