#!/usr/bin/env bash
# `cmake --install` lays out a working desktop installation: binary, desktop entry (and its old
# name), icons, metainfo, all named by the application's id and valid by the freedesktop tools.
set -euo pipefail
build_dir="$1"
id=org.pelu.Pelu
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build_dir" --prefix "$prefix" > /dev/null

status=0
fail() { echo "FAILED: $*"; status=1; }
expect() {
    if [ -e "$prefix/$1" ]; then echo "ok: $1"; else fail "missing $1"; fi
}
expect bin/pelu
expect share/applications/$id.desktop
expect share/applications/pelu.desktop
expect share/metainfo/$id.metainfo.xml
expect share/icons/hicolor/scalable/apps/$id.svg
for side in 16 24 32 48 64 128 256 512; do
    icon="$prefix/share/icons/hicolor/${side}x${side}/apps/$id.png"
    expect "share/icons/hicolor/${side}x${side}/apps/$id.png"
    if [ -e "$icon" ]; then
        size=$(identify -format '%wx%h' "$icon")
        [ "$size" = "${side}x${side}" ] || fail "${side} icon is $size"
    fi
done
[ -x "$prefix/bin/pelu" ] || fail "pelu is not executable"

entry="$prefix/share/applications/$id.desktop"
alias="$prefix/share/applications/pelu.desktop"
metainfo="$prefix/share/metainfo/$id.metainfo.xml"
desktop-file-validate "$entry" "$alias" || fail "desktop-file-validate"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"

# One id everywhere: entry's icon, metainfo id and launchable, the Wayland app id in main.cpp.
grep -qx "Icon=$id" "$entry" || fail "entry's icon is not $id"
grep -qx "Icon=$id" "$alias" || fail "old entry's icon is not $id"
grep -q "<id>$id</id>" "$metainfo" || fail "metainfo id is not $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "metainfo does not launch $id.desktop"
grep -q "setDesktopFileName(QStringLiteral(\"$id\"))" "$(dirname "$0")/../../src/app/main.cpp" ||
    fail "the program does not name its desktop entry $id"
# The old name stays out of menus and of every Open With list, and runs the same program.
grep -qx 'NoDisplay=true' "$alias" || fail "old entry is shown in menus"
! grep -q '^MimeType=' "$alias" || fail "old entry claims file types"
[ "$(grep '^Exec=' "$alias")" = "$(grep '^Exec=' "$entry")" ] || fail "old entry runs another command"

# The metainfo offers the very types the entry opens.
claimed=$(sed -n 's/^MimeType=//p' "$entry" | tr ';' '\n' | sed '/^$/d' | sort)
offered=$(sed -n 's:.*<mediatype>\(.*\)</mediatype>.*:\1:p' "$metainfo" | sort)
if [ "$claimed" = "$offered" ]; then
    echo "ok: metainfo media types match the entry's $(echo "$claimed" | wc -l) types"
else
    fail "media types differ from the entry's:"; diff <(echo "$claimed") <(echo "$offered") || true
fi
exit "$status"
