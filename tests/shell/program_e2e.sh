#!/usr/bin/env bash
# The built program under a virtual X server, with qel-sim in a temporary profile: a terminal
# put in the cradle ends up in the output file. Usage: program_e2e.sh <build bin folder>
set -euo pipefail
export KOLBRIN_BIN="$1"
# The X11 keyboard library reads strings that are not zero-terminated with strndup, which the
# sanitizer's strict string checks take for an overflow; that is not our code.
if [ -n "${ASAN_OPTIONS:-}" ]; then
    export ASAN_OPTIONS="${ASAN_OPTIONS//strict_string_checks=1/strict_string_checks=0}"
fi
cd "$(dirname "$0")/../.."
# shellcheck source=tools/demo-profile.sh
source tools/demo-profile.sh
work=$(mktemp -d)
trap 'stop_sim; rm -rf "$work"' EXIT
make_profile "$work" "$work/out/shop.txt"
install_app "$work"
start_sim "$work" sim/examples/shop.json --removed
read_under_xvfb "$APP" "$work/out/shop.txt" "$work/app.err" ||
    { echo "no output file; program said:"; cat "$work/app.err"; exit 1; }
# Three documents of 4, 3 and 5 entries, each with its header line, and the accents intact.
lines=$(wc -l < "$work/out/shop.txt")
[ "$lines" -eq 15 ] || { echo "expected 15 lines, got $lines:"; cat "$work/out/shop.txt"; exit 1; }
grep -q '^5601234567913 Café moído 250g      6    $' "$work/out/shop.txt" ||
    { echo "record with accents not found:"; cat "$work/out/shop.txt"; exit 1; }
# The library beside the program was installed into the profile's system folder.
[ -f "$work/data/kolbrin/lib/libvorlak.so" ] || { echo "library not installed"; exit 1; }
[ ! -e "$work/app/libvorlak.so" ] || { echo "library still beside the program"; exit 1; }
grep -q '^I_ClearAllEntries$' "$work/state/events.log" &&
    { echo "the terminal was cleared without AutoClear"; exit 1; }
# The reading is in the journal, and a script gets it back byte for byte without a display.
history=$(env -u DISPLAY QT_QPA_PLATFORM= "$APP" --history --json)
for expected in '"result": "delivered"' '"mode": "overwrite"' '"cleared": false' \
    '"documents": 3' '"records": 15' '"id": 1'; do
    grep -qF "$expected" <<<"$history" || { echo "journal lacks $expected: $history"; exit 1; }
done
grep -q '"target": ".*/out/shop.txt"' <<<"$history" || { echo "journal target: $history"; exit 1; }
[ "$(grep -c '"id":' <<<"$history")" -eq 1 ] || { echo "not one reading: $history"; exit 1; }
env -u DISPLAY QT_QPA_PLATFORM= "$APP" --export 1 "$work/exported.txt"
cmp "$work/exported.txt" "$work/out/shop.txt" || { echo "export differs from the output file"; exit 1; }
echo "program end to end: ok"
