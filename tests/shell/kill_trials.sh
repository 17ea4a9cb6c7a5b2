#!/usr/bin/env bash
# The built program killed with SIGKILL at a random moment of a reading and its delivery, many
# times, in append mode and in numbered mode, each time started again so that it recovers.
# After every trial: no byte that was in an output file before is lost, every file holds only
# whole readings, no temporary file is left, the terminal was cleared only when its reading
# reached a file, and the journal has a row for every reading in a file and the text of every
# reading it calls delivered.
#
# Usage: kill_trials.sh <build bin folder> [trials per mode]
# The trial count may also come from KOLBRIN_KILL_TRIALS (default 20 per mode).
set -euo pipefail
export KOLBRIN_BIN="$1"
trials=${2:-${KOLBRIN_KILL_TRIALS:-20}}
limit=${KOLBRIN_WAIT_LIMIT:-90}

# One virtual X server for every trial: starting one per program start would cost more than
# the trials themselves.
if [ -z "${KOLBRIN_KILL_TRIALS_UNDER_X:-}" ]; then
    exec env KOLBRIN_KILL_TRIALS_UNDER_X=1 xvfb-run -a -s "-screen 0 1024x768x24" \
        bash "$0" "$1" "$trials"
fi
cd "$(dirname "$0")/../.."
# shellcheck source=tools/demo-profile.sh
source tools/demo-profile.sh

work=$(mktemp -d)
APP_PID=
SIM_PID=
cleanup() {
    if [ -n "$APP_PID" ]; then
        kill -KILL "$APP_PID" 2>/dev/null || true
        wait "$APP_PID" 2>/dev/null || true
    fi
    [ -n "$SIM_PID" ] && stop_sim
    rm -rf "$work"
}
trap cleanup EXIT

log() { printf '%s\n' "$*"; }
fail() {
    log "FAILED: $*"
    log "--- trial log"
    cat "$work/trial.log" 2>/dev/null || true
    log "--- program errors"
    tail -n 40 "$work/app.err" 2>/dev/null || true
    exit 1
}

# A terminal with enough documents that, at the line speed, a reading takes a few seconds.
terminal="$work/terminal.json"
{
    printf '{"id": "KILL01",\n'
    printf ' "header_template": "[Doc][XXXX] [Date][XXXXXXXXXX] [Store][XXXXXXXX] [Operator][XXXXXX]",\n'
    printf ' "body_template": "[Code][XXXXXXXXXXXXX] [Name][XXXXXXXXXXXXXXXXXXXX] [Qty][XXXXX]",\n'
    printf ' "documents": [\n'
    for d in 1 2 3 4; do
        [ "$d" -gt 1 ] && printf ',\n'
        printf '  {"header": {"Doc": "%04d", "Date": "2024-03-0%d", "Store": "LISBOA", "Operator": "ANA"},\n' "$d" "$d"
        printf '   "entries": ['
        for e in 1 2 3 4 5 6; do
            [ "$e" -gt 1 ] && printf ', '
            printf '{"Code": "56012345%02d%03d", "Name": "Artigo %d.%d moído", "Qty": "%d"}' \
                "$d" "$e" "$d" "$e" "$((d * e))"
        done
        printf ']}'
    done
    printf '\n ]\n}\n'
} > "$terminal"

now_ms() { date +%s%3N; }

# Waits until the command succeeds, at most $limit seconds; fails the test otherwise.
wait_for() {
    local what="$1"
    shift
    local end=$((SECONDS + limit))
    while ! "$@"; do
        [ "$SECONDS" -lt "$end" ] || fail "waited $limit s for $what"
        sleep 0.05
    done
}

start_app() {
    "$APP" 2>>"$work/app.err" &
    APP_PID=$!
}

kill_app() {
    kill -KILL "$APP_PID" 2>/dev/null || true
    wait "$APP_PID" 2>/dev/null || true
    APP_PID=
}

# The program ends normally (it is idle by then).
stop_app() {
    kill -TERM "$APP_PID" 2>/dev/null || true
    wait "$APP_PID" 2>/dev/null || true
    APP_PID=
}

history_json() { env -u DISPLAY QT_QPA_PLATFORM= "$APP" --history --json; }

count_lines() {
    local c
    c=$(grep -c "$1" "$work/p/state/events.log" 2>/dev/null) || true
    echo "${c:-0}"
}
terminal_cleared() { grep -q '^I_ClearAllEntries' "$work/p/state/events.log" 2>/dev/null; }

# What the output folder holds, as "size name" lines; outputs changed when this changes.
out_listing() { (cd "$work/out" && find . -type f -printf '%s %p\n' | sort); }

profile() {
    local mode="$1"
    make_profile "$work/p" "$work/out/shop.txt"
    rm -rf "$work/out"
    mkdir -p "$work/out"
    local ini="$work/p/config/Kolbrin/Kolbrin.ini"
    sed -i -e 's/^NewFile=.*/NewFile=False/' -e 's/^AutoStart=.*/AutoStart=1/' "$ini"
    if [ "$mode" = append ]; then
        sed -i -e 's/^AppendFile=.*/AppendFile=True/' -e 's/^IncrNumber=.*/IncrNumber=False/' "$ini"
    else
        sed -i -e 's/^AppendFile=.*/AppendFile=False/' -e 's/^IncrNumber=.*/IncrNumber=True/' "$ini"
    fi
    printf 'AutoClear=1\nSkipDuplicateReadings=0\n' >> "$ini"
    install_app "$work/p"
}

sim_up() {
    rm -rf "$work/p/state" "$work/p/sim.in" "$work/p/sim.out"
    start_sim "$work/p" "$terminal" --removed --line-rate || fail "qel-sim did not start"
    echo place >&3
}

sim_down() {
    stop_sim
    SIM_PID=
}

# Checks the output folder against the copy taken before the trial ($work/before).
check_outputs() {
    local mode="$1" cleared="$2"
    local stray
    stray=$(cd "$work/out" && find . -name '*.tmp' -o -name '*.kolbrin-tmp' -o -name '.*' -type f | head -n 5)
    [ -z "$stray" ] || fail "temporary files left: $stray"
    if [ "$mode" = append ]; then
        local old=0 new
        [ -f "$work/before/shop.txt" ] && old=$(stat -c %s "$work/before/shop.txt")
        [ -f "$work/out/shop.txt" ] || { [ "$old" -eq 0 ] || fail "append file gone"; }
        new=$(stat -c %s "$work/out/shop.txt" 2>/dev/null || echo 0)
        [ "$new" -ge "$old" ] || fail "append file shrank from $old to $new bytes"
        if [ "$old" -gt 0 ]; then
            cmp -s -n "$old" "$work/before/shop.txt" "$work/out/shop.txt" ||
                fail "earlier bytes of the append file changed"
        fi
        local added=$((new - old))
        [ $((added % reading_size)) -eq 0 ] ||
            fail "append file grew by $added bytes, not whole readings of $reading_size"
        local k=$((added / reading_size)) i
        for ((i = 0; i < k; i++)); do
            cmp -s -i "$((old + i * reading_size)):0" -n "$reading_size" \
                "$work/out/shop.txt" "$work/reading" ||
                fail "reading $((i + 1)) appended in this trial is not the reading's text"
        done
        added_readings=$k
    else
        local f
        for f in "$work"/before/*; do
            [ -e "$f" ] || continue
            cmp -s "$f" "$work/out/$(basename "$f")" ||
                fail "earlier numbered file $(basename "$f") changed or vanished"
        done
        added_readings=0
        for f in "$work"/out/*; do
            [ -e "$f" ] || continue
            [[ "$(basename "$f")" =~ ^shop[0-9]{4}\.txt$ ]] || fail "unexpected file $(basename "$f")"
            cmp -s "$f" "$work/reading" || fail "numbered file $(basename "$f") is torn or wrong"
            [ -e "$work/before/$(basename "$f")" ] || added_readings=$((added_readings + 1))
        done
    fi
    # The terminal was cleared only after its reading reached a file.
    if [ "$cleared" = yes ] && [ "$added_readings" -eq 0 ]; then
        fail "the terminal was cleared but no reading reached a file"
    fi
}

# Every reading in a file has a row; every row "delivered" has its text in a file.
check_journal() {
    local mode="$1" history in_files delivered open
    history=$(history_json) || fail "--history --json failed"
    if [ "$mode" = append ]; then
        in_files=$(($(stat -c %s "$work/out/shop.txt" 2>/dev/null || echo 0) / reading_size))
    else
        in_files=$(find "$work/out" -name 'shop[0-9][0-9][0-9][0-9].txt' | wc -l)
    fi
    delivered=$(jq '[.[] | select(.result == "delivered")] | length' <<<"$history")
    # A reading killed after it reached its file but before its result was written stays
    # pending; it is still a row for that reading.
    open=$(jq '[.[] | select(.result == "pending")] | length' <<<"$history")
    [ "$in_files" -le $((delivered + open)) ] ||
        fail "$in_files readings in files but only $delivered delivered and $open pending rows"
    [ "$delivered" -le "$in_files" ] ||
        fail "$delivered rows delivered but only $in_files readings in files"
    local id target
    while read -r id target; do
        [ -n "$id" ] || continue
        [ -f "$target" ] || fail "row $id delivered to missing file $target"
        env -u DISPLAY QT_QPA_PLATFORM= "$APP" --export "$id" "$work/exported" ||
            fail "--export $id failed"
        cmp -s "$work/exported" "$work/reading" || fail "row $id does not hold the reading's text"
        if [ "$mode" = numbered ]; then
            cmp -s "$target" "$work/reading" || fail "row $id: $target lacks its reading"
        fi
    done < <(jq -r '.[] | select(.result == "delivered") | "\(.id) \(.target)"' <<<"$history")
    if [ "$mode" = numbered ]; then
        local distinct
        distinct=$(jq '[.[] | select(.result == "delivered") | .target] | unique | length' \
            <<<"$history")
        [ "$distinct" -eq "$delivered" ] || fail "two delivered rows name the same numbered file"
    fi
    jq -r '[.[] | .result] | group_by(.) | map("\(.[0])=\(length)") | join(" ")' <<<"$history"
}

max_id() { history_json | jq '[.[] | .id] | max // 0'; }
newest_done() {
    local id="$1"
    history_json | jq -e --argjson id "$id" \
        '[.[] | select(.id > $id and .result != "pending")] | length > 0' >/dev/null
}

# The program started since the mark has asked the cradle at least twice, so its start-up
# (recovery included) is over and it has seen whether a terminal is there.
polled_since() { [ "$(count_lines '^I_CheckTerminal')" -ge $(($1 + 2)) ]; }
output_changed() { [ "$(out_listing)" != "$1" ]; }
reading_started() { grep -q '^I_ReadHeader' "$work/p/state/events.log" 2>/dev/null; }

# Runs the program until it has delivered the terminal's reading, or seen an empty terminal.
run_to_end() {
    local mark ids
    mark=$(count_lines '^I_CheckTerminal')
    ids=$(max_id)
    start_app
    wait_for "the restarted program to poll the cradle" polled_since "$mark"
    if ! terminal_cleared; then
        wait_for "the restarted program to finish its reading" newest_done "$ids"
        wait_for "the terminal to be cleared" terminal_cleared
    fi
    stop_app
}

# A trial without a kill gives the reading's text and how long after the first request of a
# reading its file is written.
calibrate() {
    local mode="$1" listing t0 t1
    sim_up
    listing=$(out_listing)
    start_app
    wait_for "the first reading to start" reading_started
    t0=$(now_ms)
    wait_for "the first reading's file" output_changed "$listing"
    t1=$(now_ms)
    wait_for "the terminal to be cleared" terminal_cleared
    stop_app
    sim_down
    if [ "$mode" = append ]; then
        cp "$work/out/shop.txt" "$work/reading"
    else
        local first
        first=$(find "$work/out" -name 'shop[0-9][0-9][0-9][0-9].txt')
        [ "$(wc -l <<<"$first")" -eq 1 ] && [ -n "$first" ] ||
            fail "not one numbered file: $(out_listing)"
        cp "$first" "$work/reading"
    fi
    reading_size=$(stat -c %s "$work/reading")
    [ "$reading_size" -gt 0 ] || fail "empty reading"
    delivery_ms=$((t1 - t0))
    log "$mode: a reading of $reading_size bytes reaches its file ${delivery_ms} ms after it starts"
    check_journal "$mode" >/dev/null
}

trial() {
    local mode="$1" n="$2" how delay listing cleared
    rm -rf "$work/before"
    cp -a "$work/out" "$work/before"
    : > "$work/trial.log"
    sim_up
    listing=$(out_listing)
    start_app
    wait_for "the reading to start" reading_started
    # Half the trials kill at a random moment from the start of the reading to shortly after
    # its file is written; the others kill as soon as the file changes, or a little later, to
    # fall between writing the file, clearing the terminal and recording the result.
    if [ $((RANDOM % 2)) -eq 0 ]; then
        delay=$((RANDOM * (delivery_ms + 400) / 32768))
        how="after ${delay} ms of reading"
        sleep "$(printf '%d.%03d' $((delay / 1000)) $((delay % 1000)))"
    else
        delay=$((RANDOM % 60))
        how="${delay} ms after the file changed"
        wait_for "the file to change" output_changed "$listing"
        sleep "$(printf '0.%03d' "$delay")"
    fi
    kill_app
    # A kill during a write leaves its temporary file; the next start removes it.
    local left
    left=$(find "$work/out" -name '*.kolbrin-tmp' | wc -l)
    [ "$left" -eq 0 ] || { how="$how (left $left temporary file)"; leftovers=$((leftovers + 1)); }
    echo "killed $how; output: $(out_listing | tr '\n' ' ')" >> "$work/trial.log"
    # Sometimes a second start is killed as well, before the one that may finish.
    if [ $((RANDOM % 4)) -eq 0 ]; then
        start_app
        delay=$((RANDOM * (delivery_ms + 1500) / 32768))
        sleep "$(printf '%d.%03d' $((delay / 1000)) $((delay % 1000)))"
        kill_app
        how="$how, restart killed after ${delay} ms"
        echo "restart killed after $delay ms; output: $(out_listing | tr '\n' ' ')" >> "$work/trial.log"
    fi
    run_to_end
    cleared=no
    terminal_cleared && cleared=yes
    sim_down
    check_outputs "$mode" "$cleared"
    local rows
    rows=$(check_journal "$mode")
    log "$mode trial $n: killed $how; +$added_readings reading(s), cleared $cleared; journal $rows"
}

leftovers=0
for mode in append numbered; do
    : > "$work/app.err"
    profile "$mode"
    calibrate "$mode"
    for ((n = 1; n <= trials; n++)); do
        trial "$mode" "$n"
    done
done
echo "kill trials: ok ($trials per mode; $leftovers kills left a temporary file, removed at the next start)"
