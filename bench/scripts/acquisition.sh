#!/usr/bin/env bash
# The running program against qel-sim: the CPU it uses polling an empty cradle, and the time
# from a terminal put in the cradle to its output file written (100 records, no line pacing).
set -euo pipefail
cd "$(dirname "$0")/../.."
export KOLBRIN_BIN="${KOLBRIN_BIN:-$PWD/build-bench/bin}"
# shellcheck source=tools/demo-profile.sh
source tools/demo-profile.sh
work=$(mktemp -d)
app=""
cleanup() {
    if [ -n "$app" ]; then
        kill "$app" 2>/dev/null || true
        wait "$app" 2>/dev/null || true
    fi
    stop_sim
    rm -rf "$work"
}
trap cleanup EXIT
export QT_QPA_PLATFORM=offscreen

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# Idle: 30 seconds of polling with the terminal off the cradle.
make_profile "$work/idle" "$work/idle/out/data.txt"
install_app "$work/idle"
start_sim "$work/idle" sim/examples/shop.json --removed
"$APP" 2>/dev/null &
app=$!
sleep 3
before=$(cpu_ticks "$app")
sleep 30
after=$(cpu_ticks "$app")
hz=$(getconf CLK_TCK)
awk -v t=$((after - before)) -v hz="$hz" \
    'BEGIN { printf "acquisition_idle_cpu_30s %.3f %%core <1\n", t / hz / 30 * 100 }'
kill "$app"; wait "$app" 2>/dev/null || true; app=""
stop_sim

# Arrival to delivery: one document of 100 entries.
terminal="$work/hundred.json"
{
    printf '{"id": "B100", "body_template": "[Code][XXXXXXXX] [Qty][XXXX]", "documents": ['
    printf '{"header": {"Doc": "0001", "Date": "2026-12-07", "Store": "BENCH", "Operator": "K"},'
    printf ' "entries": ['
    for i in $(seq 1 100); do
        [ "$i" -gt 1 ] && printf ','
        printf '{"Code": "%08d", "Qty": "%d"}' "$i" $((i % 9 + 1))
    done
    printf ']}]}\n'
} > "$terminal"
make_profile "$work/arrive" "$work/arrive/out/data.txt"
install_app "$work/arrive"
start_sim "$work/arrive" "$terminal" --removed
"$APP" 2>/dev/null &
app=$!
sleep 3
start=$(date +%s%N)
echo place >&3
for _ in $(seq 20000); do
    [ -s "$work/arrive/out/data.txt" ] && break
    sleep 0.001
done
end=$(date +%s%N)
if [ -s "$work/arrive/out/data.txt" ]; then
    awk -v ns=$((end - start)) \
        'BEGIN { printf "acquisition_place_to_file_100_records %.0f ms <500+reading\n", ns / 1e6 }'
else
    echo "acquisition_place_to_file_100_records failed ms <500+reading"
fi
exit 0
