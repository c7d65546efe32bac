# Sourced by the window tests: a virtual X server on a display of its own.
#   start_x_server LOG_FILE  starts it, sets DISPLAY and xserver (its process)
#   stop_x_server            ends it and waits until it is gone, so that the
#                            next test's server never meets its socket
# A display number is taken only when no lock file or socket names it; a
# server that still fails to start (another took the number meanwhile) is
# waited for and the next number tried. The server is ours when its lock
# file holds our process's number.
start_x_server() {
    local log=$1 display=$((100 + $$ % 800)) attempt waited
    for attempt in $(seq 1 40); do
        if [ ! -e "/tmp/.X$display-lock" ] && [ ! -e "/tmp/.X11-unix/X$display" ]; then
            Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >"$log" 2>&1 &
            xserver=$!
            for waited in $(seq 1 100); do
                kill -0 "$xserver" 2>/dev/null || break
                # The server that answers must be ours: another one that took
                # the number at the same moment would answer too, and go away
                # with its owner.
                if DISPLAY=":$display" xdotool getdisplaygeometry >/dev/null 2>&1 &&
                    [ "$(tr -d ' \n' <"/tmp/.X$display-lock" 2>/dev/null)" = "$xserver" ]; then
                    export DISPLAY=":$display"
                    return 0
                fi
                sleep 0.1
            done
            stop_x_server
        fi
        display=$((100 + (display - 99 + attempt) % 800))
    done
    return 1
}

stop_x_server() {
    [ -n "${xserver:-}" ] || return 0
    kill "$xserver" 2>/dev/null || true
    wait "$xserver" 2>/dev/null || true
    xserver=""
}
