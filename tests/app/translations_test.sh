#!/usr/bin/env bash
# Every text the sources pass to tr() has a finished translation in every translations/*.ts:
# a new or changed text that nobody translated fails here, not in a user's menu.
set -euo pipefail
source_dir="$1"
lupdate="${2:-/usr/lib/qt6/bin/lupdate}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for ts in "$source_dir"/translations/pelu_*.ts; do
    copy="$work/$(basename "$ts")"
    cp "$ts" "$copy"
    "$lupdate" -silent -locations none -no-obsolete "$source_dir/src" -ts "$copy"
    # Texts lupdate found in the sources and that have no translation yet.
    unfinished=$(python3 - "$copy" <<'PY'
import sys, xml.etree.ElementTree as ET
for context in ET.parse(sys.argv[1]).getroot().iter("context"):
    for message in context.iter("message"):
        translation = message.find("translation")
        if translation is None or translation.get("type") == "unfinished" or not (translation.text or "").strip():
            print(f'{context.findtext("name")}: {message.findtext("source")!r}')
PY
)
    if [ -n "$unfinished" ]; then
        echo "FAILED: $(basename "$ts") lacks translations for:"
        echo "$unfinished"
        status=1
    else
        echo "ok: $(basename "$ts") is complete"
    fi
done
exit "$status"
