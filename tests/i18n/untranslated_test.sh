#!/usr/bin/env bash
# tools/untranslated-texts finds exactly the English literals outside the translation mechanism
# in a sample, and none in the program's sources beyond the allow-list.
set -uo pipefail
top="$1"
check="$top/tools/untranslated-texts"
sample="$top/tests/i18n/untranslated_sample"
found="$(python3 "$check" "$sample" "$sample/allow.txt" 2>/dev/null)"
expected="$(grep -n '// FOUND$' "$sample/sample.cpp" | cut -d: -f1 | sed 's/^/sample.cpp:/')"
got="$(printf '%s\n' "$found" | cut -d: -f1,2)"
if [ "$got" != "$expected" ]; then
    echo "the sample's findings differ: expected lines"; echo "$expected"; echo "got"; echo "$found"
    exit 1
fi
python3 "$check" "$top/src" "$top/tests/i18n/untranslated_allow.txt"
