#!/usr/bin/env bash
# Every text the sources pass to translate() or tr() has its Portuguese and Spanish in
# src/i18n/translations: lupdate is run over src/ into copies of the .ts files, and any text it
# adds as unfinished is named. Run tools/update-translations and translate those texts.
set -euo pipefail
top="$1"
lupdate="$(command -v lupdate || echo /usr/lib/qt6/bin/lupdate)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
status=0
for language in pt es; do
    cp "$top/src/i18n/translations/kolbrin_$language.ts" "$work/"
    "$lupdate" -silent -locations none -no-obsolete "$top/src" -ts "$work/kolbrin_$language.ts"
    missing="$(python3 - "$work/kolbrin_$language.ts" <<'PY'
import sys
import xml.etree.ElementTree as ET
for context in ET.parse(sys.argv[1]).iter("context"):
    for message in context.iter("message"):
        translation = message.find("translation")
        if translation.get("type") == "unfinished" or not "".join(translation.itertext()).strip():
            print(f'{context.findtext("name")}: {message.findtext("source")}')
PY
)"
    if [ -n "$missing" ]; then
        echo "Texts without a translation in kolbrin_$language.ts:"
        echo "$missing"
        status=1
    fi
done
exit $status
