#!/usr/bin/env bash
# The layer check stops the build for an upward include, a "../" include and a folder of src/
# that has no layer, and lets a sound tree through.
set -uo pipefail
check="$1"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
failures=0

run() { # expected outcome (pass/fail), what, then files to write as path=content
    local expected="$1" what="$2"
    shift 2
    rm -rf "$tree/src"
    mkdir -p "$tree/src/base" "$tree/src/imaging/decoders" "$tree/src/state"
    echo '#include <QString>' > "$tree/src/base/Base.h"
    echo '#include "base/Base.h"' > "$tree/src/imaging/decoders/Decoder.cpp"
    echo '#include "imaging/decoders/Decoder.h"' > "$tree/src/state/State.cpp"
    for file in "$@"; do
        mkdir -p "$(dirname "$tree/src/${file%%=*}")"
        printf '%s\n' "${file#*=}" > "$tree/src/${file%%=*}"
    done
    if cmake -DSOURCE_DIR="$tree" -P "$check" > "$tree/out" 2>&1; then outcome=pass; else outcome=fail; fi
    if [ "$outcome" = "$expected" ]; then
        echo "ok: $what"
    else
        echo "FAIL: $what (expected $expected)"; cat "$tree/out"; failures=$((failures + 1))
    fi
}

run pass "a tree whose includes point down"
run fail "an include of a higher layer" 'imaging/Up.cpp=#include "state/AppState.h"'
run fail "an include of another folder of the same layer" 'state/Side.cpp=#include "thumbnailcache/ThumbnailCache.h"'
run fail "a relative include that climbs out of its folder" 'imaging/Climb.cpp=#include "../state/Modes.h"'
run fail "a relative include inside the folder" 'imaging/decoders/Near.cpp=#include "../Service.h"'
run fail "a folder with no layer" 'gadgets/Gadget.cpp=#include "app/PeluApp.h"'
exit $failures
