# Sourced by tools/demo and the benchmarks: make_profile DIR OUTPUT_FILE makes a Kolbrin profile
# in DIR (settings, data folder with the offline folder, port map with COM1 -> DIR/com1) set up
# for automatic reading into OUTPUT_FILE, and exports XDG_CONFIG_HOME and XDG_DATA_HOME for it.
# install_app DIR copies the program and its communication library into DIR/app and sets APP
# to the program there: at start-up the program moves a library found beside it into the
# profile's system folder, which must not empty the build's own bin folder.
# start_sim DIR TERMINAL [OPTIONS...] starts qel-sim on DIR/com1 with its input on fd 3
# (echo place >&3), and waits until it serves (at most KOLBRIN_WAIT_LIMIT seconds, default 60,
# and not at all once it has ended); stop_sim ends it.
# read_under_xvfb APP OUTPUT ERRORS runs APP under a virtual X server, puts the terminal in its
# cradle three seconds later and waits until OUTPUT fills, at most KOLBRIN_WAIT_LIMIT seconds
# (default 60) and no longer once APP has ended; APP's standard error goes to ERRORS. It fails
# when OUTPUT stays empty.

make_profile() {
    local dir="$1" output="$2"
    rm -rf "$dir"
    mkdir -p "$dir/config/Kolbrin" "$dir/config/vorlak" "$dir/data/qel/bin_offline" \
        "$(dirname "$output")"
    echo "COM1=$dir/com1" > "$dir/config/vorlak/ports.conf"
    # Automatic mode, no question, overwrite one file; the body template is left empty so that
    # Kolbrin fetches it from the terminal.
    cat > "$dir/config/Kolbrin/Kolbrin.ini" <<INI
[Setup]
Language=English
ComPort=Com1
AutomaticMode=True
ManualMode=False
InsertKeys=False
AutoStart=1
NewFile=True
IncrNumber=False
AppendFile=False
MyFileName=$output
AsciiDataFormat2=[Doc][XXXX] [Date][XXXXXXXXXX] [Store][XXXXXXXX] [Operator][XXXXXX]
INI
    export XDG_CONFIG_HOME="$dir/config" XDG_DATA_HOME="$dir/data"
}

install_app() {
    mkdir -p "$1/app"
    cp "$KOLBRIN_BIN/kolbrin" "$KOLBRIN_BIN/libvorlak.so" "$1/app/"
    APP="$1/app/kolbrin"
}

start_sim() {
    local dir="$1" terminal="$2"
    shift 2
    mkfifo "$dir/sim.in"
    "$KOLBRIN_BIN/qel-sim" --terminal "$terminal" --link "$dir/com1" --state "$dir/state" "$@" \
        < "$dir/sim.in" > "$dir/sim.out" 2> "$dir/sim.err" &
    SIM_PID=$!
    exec 3> "$dir/sim.in"
    local end=$((SECONDS + ${KOLBRIN_WAIT_LIMIT:-60}))
    while [ "$SECONDS" -lt "$end" ]; do
        grep -qs '^ready' "$dir/sim.out" && return 0
        kill -0 "$SIM_PID" 2>/dev/null || break
        sleep 0.1
    done
    grep -qs '^ready' "$dir/sim.out" && return 0
    cat "$dir/sim.err" >&2
    return 1
}

stop_sim() {
    echo quit >&3 2>/dev/null || true
    exec 3>&- || true
    wait "$SIM_PID" 2>/dev/null || true
}

read_under_xvfb() {
    KOLBRIN_WAIT_LIMIT=${KOLBRIN_WAIT_LIMIT:-60} xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
        "$1" 2>"$3" &
        app=$!
        # The program first meets an empty cradle; the terminal comes later, as a user brings it.
        sleep 3
        echo place >&3
        status=1
        end=$((SECONDS + KOLBRIN_WAIT_LIMIT))
        while [ "$SECONDS" -lt "$end" ]; do
            [ -s "$2" ] && { status=0; break; }
            kill -0 "$app" 2>/dev/null || break
            sleep 0.1
        done
        [ -s "$2" ] && status=0
        kill "$app" 2>/dev/null; wait "$app" 2>/dev/null
        exit $status
    ' read_under_xvfb "$@"
}
