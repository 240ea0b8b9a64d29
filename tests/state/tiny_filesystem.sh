#!/usr/bin/env bash
# Runs the rotation test's disk faults on a 1 MiB filesystem of their own, mounted in a private
# mount namespace. Skipped (77) where the system allows no such mount.
set -uo pipefail
test_program="$1"
mountpoint=$(mktemp -d)
trap 'rmdir "$mountpoint"' EXIT
unshare --user --map-root-user --mount true 2>/dev/null || exit 77
unshare --user --map-root-user --mount bash -c '
    mount -t tmpfs -o size=1m tmpfs "$1" || exit 77
    PELU_TINY_FS="$1" "$2" "failedRewriteLeavesTheFileWhole:tiny filesystem/photo.jpg" \
        "failedRewriteLeavesTheFileWhole:tiny filesystem/picture.png"
' _ "$mountpoint" "$test_program"
