#!/usr/bin/env bash
# The folder order of src/ holds today, and the check refuses an include that points up it, one
# of a folder that is no layer, and names the file and line; includes of the own folder and of
# lower folders pass.
set -euo pipefail
source_dir=$1
layers=$2
check=$source_dir/cmake/CheckLayers.cmake

cmake -DSOURCE_DIR="$source_dir/src" "-DLAYERS=$layers" -P "$check"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/common" "$scratch/output" "$scratch/shell"
printf '#include "settings.h"\n' >"$scratch/common/appstate.h"
printf '#include "common/appstate.h"\n#include "output/recordretrieval.h"\n' \
    >"$scratch/shell/programcore.h"
cmake -DSOURCE_DIR="$scratch" "-DLAYERS=common;output;shell" -P "$check"

expect_refused() {
    local what=$1 file=$2 line=$3 wanted=$4
    printf '%s\n' "$line" >>"$scratch/$file"
    if output=$(cmake -DSOURCE_DIR="$scratch" "-DLAYERS=common;output;shell" -P "$check" 2>&1); then
        echo "FAIL: $what was accepted"
        exit 1
    fi
    if ! grep -qF "$wanted" <<<"$output"; then
        echo "FAIL: $what: the message does not say '$wanted':"
        echo "$output"
        exit 1
    fi
    sed -i '$d' "$scratch/$file"
}
expect_refused "an upward include" common/appstate.h '#include "shell/programcore.h"' \
    "common/appstate.h: #include \"shell/programcore.h\" ('common' must not include 'shell'"
expect_refused "an include of no layer" output/x.cpp '  #  include "gadgets/widget.h"' \
    "folder 'gadgets' is not a layer"
echo "layer check: ok"
