#!/usr/bin/env bash
# `cmake --install` lays out a working desktop installation: binary, desktop entry, icons,
# metainfo, each valid by the freedesktop tools.
set -euo pipefail
build_dir="$1"
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build_dir" --prefix "$prefix" > /dev/null

status=0
expect() {
    if [ -e "$prefix/$1" ]; then echo "ok: $1"; else echo "FAILED: missing $1"; status=1; fi
}
expect bin/pelu
expect share/applications/pelu.desktop
expect share/metainfo/pelu.metainfo.xml
expect share/icons/hicolor/scalable/apps/pelu.svg
for side in 16 24 32 48 64 128 256 512; do
    expect "share/icons/hicolor/${side}x${side}/apps/pelu.png"
    if [ -e "$prefix/share/icons/hicolor/${side}x${side}/apps/pelu.png" ]; then
        size=$(identify -format '%wx%h' "$prefix/share/icons/hicolor/${side}x${side}/apps/pelu.png")
        [ "$size" = "${side}x${side}" ] || { echo "FAILED: ${side} icon is $size"; status=1; }
    fi
done
[ -x "$prefix/bin/pelu" ] || { echo "FAILED: pelu is not executable"; status=1; }
desktop-file-validate "$prefix/share/applications/pelu.desktop" || status=1
# The component keeps the desktop file's plain name rather than a reverse-domain one.
appstreamcli validate --no-net --override=cid-desktopapp-is-not-rdns=info \
    "$prefix/share/metainfo/pelu.metainfo.xml" || status=1
exit "$status"
