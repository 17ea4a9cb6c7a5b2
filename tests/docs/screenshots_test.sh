#!/usr/bin/env bash
# screenshots_test.sh SOURCE_DIR BIN_DIR
#
# Runs tools/screenshots against the programs in BIN_DIR into a temporary folder and checks
# that it takes every picture that docs/screenshots holds, in each language, each a real PNG
# of plausible size with something drawn on it; that the languages really differ; and that
# every picture docs/user-guide.md links to is in the repository.
set -uo pipefail

src=${1:?source folder}
bin=${2:?bin folder}
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# --- the guide's links ---------------------------------------------------------------------------

guide="$src/docs/user-guide.md"
[ -f "$guide" ] || fail "$guide does not exist"
links=$(grep -oE '\]\(screenshots/[^)]+\)' "$guide" 2>/dev/null | sed -E 's/^\]\(//; s/\)$//' | sort -u)
[ -n "$links" ] || fail "the user guide links no screenshot"
for link in $links; do
    [ -e "$src/docs/$link" ] || fail "the user guide links $link, which is not in docs/"
done

# --- the pictures expected: those in the repository, the same names in every language ------------

langs="en pt es"
expected=$(cd "$src/docs/screenshots/en" 2>/dev/null && ls -- *.png 2>/dev/null)
[ -n "$expected" ] || fail "docs/screenshots/en holds no picture"
for lang in pt es; do
    theirs=$(cd "$src/docs/screenshots/$lang" 2>/dev/null && ls -- *.png 2>/dev/null)
    [ "$theirs" = "$expected" ] ||
        fail "docs/screenshots/$lang does not hold the same pictures as docs/screenshots/en"
done

# --- the script's own refusals -------------------------------------------------------------------

if "$src/tools/screenshots" --bin "$bin" --out "$tmp/refused" --lang fr >"$tmp/refused.log" 2>&1; then
    fail "an unknown language was accepted"
fi
grep -q "unknown language 'fr'" "$tmp/refused.log" || fail "no message for an unknown language"
if "$src/tools/screenshots" --bin "$tmp/nothing" --out "$tmp/refused" >"$tmp/refused.log" 2>&1; then
    fail "a bin folder without the programs was accepted"
fi

# --- a real run ---------------------------------------------------------------------------------

start=$SECONDS
if ! "$src/tools/screenshots" --bin "$bin" --out "$tmp/out" --lang en,pt,es >"$tmp/run.log" 2>&1; then
    cat "$tmp/run.log" >&2
    fail "tools/screenshots failed"
fi
echo "tools/screenshots took $((SECONDS - start)) s for three languages"

for lang in $langs; do
    for name in $expected; do
        file="$tmp/out/$lang/$name"
        if [ ! -s "$file" ]; then
            fail "$lang/$name was not taken"
            continue
        fi
        # format, width, height, number of colours
        read -r format width height colours < <(identify -format '%m %w %h %k\n' "$file" 2>/dev/null | head -n1)
        if [ "${format:-}" != PNG ]; then
            fail "$lang/$name is not a valid PNG"
            continue
        fi
        if [ "$width" -lt 60 ] || [ "$height" -lt 30 ] || [ "$width" -gt 1100 ] || [ "$height" -gt 820 ]; then
            fail "$lang/$name has an implausible size ${width}x${height}"
        fi
        # A window has text, frames and buttons: a blank or nearly blank grab has few colours.
        if [ "$colours" -lt 8 ]; then
            fail "$lang/$name is blank ($colours colours)"
        fi
    done
    for file in "$tmp/out/$lang"/*.png; do
        [ -e "$file" ] || continue
        grep -qxF "$(basename "$file")" <<<"$expected" ||
            fail "$lang/$(basename "$file") was taken but docs/screenshots does not hold it"
    done
done

# The captions follow the language: the same window differs between languages.
for name in main.png config-automatic.png menu-communication.png upload.png; do
    for lang in pt es; do
        a="$tmp/out/en/$name" b="$tmp/out/$lang/$name"
        if [ ! -f "$a" ] || [ ! -f "$b" ]; then continue; fi
        if [ "$(compare -metric AE "$a" "$b" null: 2>&1)" = 0 ]; then
            fail "$name is the same in English and $lang"
        fi
    done
done

if [ "$failures" -gt 0 ]; then
    echo "$failures failure(s)" >&2
    exit 1
fi
echo "all pictures taken and checked"
