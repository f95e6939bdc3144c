# Sourced by the scripts that run kbstudio on a private display.
# start_xvfb FOLDER: starts Xvfb on a free display (its number is left in FOLDER/display), sets xvfb_pid
# for the caller's cleanup and exports DISPLAY.
start_xvfb() {
    Xvfb -screen 0 1280x900x24 -nolisten tcp -displayfd 3 3>"$1/display" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$1/display" ] && break
        sleep 0.1
    done
    export DISPLAY=":$(cat "$1/display")"
}
