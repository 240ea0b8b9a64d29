#!/usr/bin/env bash
# Runs the Trash test's volume cases on file systems of their own, mounted in a private mount
# namespace: an ext2 image, whose .Trash-$UID the file goes to, and a tmpfs, which GIO refuses.
# Skipped (77) where the system allows no such mount.
set -uo pipefail
test_program="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/ext2" "$work/tmpfs"
truncate -s 8M "$work/volume.img"
mkfs.ext2 -q -F "$work/volume.img" >/dev/null 2>&1 || exit 77
unshare --mount true 2>/dev/null || exit 77
unshare --mount --propagation private bash -c '
    mount -o loop "$1/volume.img" "$1/ext2" 2>/dev/null || exit 77
    mount -t tmpfs -o size=1m tmpfs "$1/tmpfs" || exit 77
    PELU_TRASH_VOLUME="$1/ext2" PELU_TRASH_TMPFS="$1/tmpfs" "$2" otherVolumes
' _ "$work" "$test_program"
