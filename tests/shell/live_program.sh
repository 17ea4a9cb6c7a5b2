#!/usr/bin/env bash
# The built program at the line's real speed under a virtual X server, with the accessibility bus
# running, driven by tests/shell/live_program.py. Usage: live_program.sh <build bin folder>
set -euo pipefail
export KOLBRIN_BIN="$1"
if [ -z "${KOLBRIN_LIVE_UNDER_X:-}" ]; then
    exec env KOLBRIN_LIVE_UNDER_X=1 xvfb-run -a -s "-screen 0 1280x800x24" \
        dbus-run-session -- bash "$0" "$1"
fi
if [ -n "${ASAN_OPTIONS:-}" ]; then
    export ASAN_OPTIONS="${ASAN_OPTIONS//strict_string_checks=1/strict_string_checks=0}"
fi
here="$(cd "$(dirname "$0")" && pwd)"
cd "$here/../.."
# shellcheck source=tools/demo-profile.sh
source tools/demo-profile.sh
work=$(mktemp -d)
SIM_PID=
BUS_PID=
cleanup() {
    [ -n "$SIM_PID" ] && stop_sim
    [ -n "$BUS_PID" ] && kill "$BUS_PID" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

documents=40
entries=25
terminal="$work/terminal.json"
{
    printf '{"id": "LIVE01",\n'
    printf ' "header_template": "[Doc][XXXX] [Date][XXXXXXXXXX] [Store][XXXXXXXX] [Operator][XXXXXX]",\n'
    printf ' "body_template": "[Code][XXXXXXXXXXXXX] [Name][XXXXXXXXXXXXXXXXXXXX] [Qty][XXXXX]",\n'
    printf ' "documents": [\n'
    for ((d = 1; d <= documents; d++)); do
        [ "$d" -gt 1 ] && printf ',\n'
        printf '  {"header": {"Doc": "%04d", "Date": "2024-03-01", "Store": "LISBOA", "Operator": "ANA"},\n' "$d"
        printf '   "entries": ['
        for ((e = 1; e <= entries; e++)); do
            [ "$e" -gt 1 ] && printf ', '
            printf '{"Code": "5601234%03d%03d", "Name": "Artigo %d.%d", "Qty": "%d"}' \
                "$d" "$e" "$d" "$e" "$e"
        done
        printf ']}'
    done
    printf '\n ]\n}\n'
} > "$terminal"

make_profile "$work/p" "$work/p/out/shop.txt"
install_app "$work/p"
start_sim "$work/p" "$terminal" --removed --line-rate
# Qt finds the accessibility bus through the session bus; the launcher starts it on demand.
/usr/libexec/at-spi-bus-launcher --launch-immediately 2>/dev/null &
BUS_PID=$!
/usr/bin/python3 "$here/live_program.py" "$APP" "$work/p" "$work/p/sim.in" "$documents" "$entries"
