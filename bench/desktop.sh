#!/usr/bin/env bash
# What the game costs on a desktop: the CPU share of the game and of the X
# server on each screen, the game's peak memory and its start-to-window time,
# measured on a virtual 1600 x 1200 X display with a window manager (in a
# window at scale 3, and in play also on the whole monitor), beside
# peer arcade games from Debian run the same way as a reference.
#
# Usage: bench/desktop.sh [--scale-factors LIST] [build-dir] [seconds-per-screen] [runs]
#        (defaults: build 8 1). Needs xvfb, openbox, xdotool, x11-utils;
#        the peers (kobodeluxe, maelstrom) are measured when installed.
#        --scale-factors 1,1.25,1.5,2 measures instead the title and busy play
#        once per desktop scale, the game started with that QT_SCALE_FACTOR
#        (the window is 720 x 960 screen pixels at each of these).
#
# Sound: with pulseaudio installed, the game plays into a PulseAudio server of
# the run's own with a null sink, as on a desktop (SDL picks its driver as it
# would there), and each line also gives the CPU of the game's sound threads
# and of the sound server; without it, SDL's dummy driver.
#
# CPU is the time the processes spent on a processor (the per-thread run
# times the kernel keeps, in nanoseconds) divided by the wall time of the
# window, so other work on the machine does not inflate it. It is a benchmark:
# it reports what it sees and never fails on a slow or busy machine.
set -uo pipefail
factors=""
positional=()
while [ $# -gt 0 ]; do
    case $1 in
    --scale-factors) factors=${2:-}; shift 2 || shift ;;
    --scale-factors=*) factors=${1#*=}; shift ;;
    *) positional+=("$1"); shift ;;
    esac
done
set -- "${positional[@]+"${positional[@]}"}"
build=${1:-build}
seconds=${2:-8}
runs=${3:-1}
game="$build/bin/corvusraiders"
GEOMETRY=1600x1200x24
EXIT_WINDOW=1.5       # seconds: the farewell screen lasts two

for tool in Xvfb openbox xdotool xwininfo; do
    command -v "$tool" >/dev/null || { echo "desktop.sh: $tool is not installed"; exit 0; }
done
[ -x "$game" ] || { echo "desktop.sh: build the game first ($game missing)"; exit 0; }

work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do stop "$p"; done
    rm -rf "$work"
}
trap cleanup EXIT

# Ends a started program; one that holds back the polite signal is killed.
stop() {
    kill "$1" 2>/dev/null
    for _ in $(seq 20); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$1" 2>/dev/null
    wait "$1" 2>/dev/null
}

# A free display number, the server and the window manager.
n=90
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
export DISPLAY=":$n"
Xvfb "$DISPLAY" -screen 0 "$GEOMETRY" -nolisten tcp >"$work/xvfb.log" 2>&1 &
xserver=$!
pids+=("$xserver")
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=("$!")
sleep 1

# Nanoseconds the game's sound threads have run: SDL 2 names its own (the
# mixer's SDLAudio*, PulseHotplug); SDL 1.2 leaves its one thread with the
# program's name.
soundNs() {
    local sum=0 t v name main
    main=$(cat /proc/"$1"/comm 2>/dev/null)
    for t in /proc/"$1"/task/*; do
        name=$(cat "$t/comm" 2>/dev/null)
        case "$name" in
            SDLAudio*|PulseHotplug) ;;
            "$main") [ "${t##*/}" != "$1" ] || continue ;;
            *) continue ;;
        esac
        read -r v _ <"$t/schedstat" 2>/dev/null && sum=$((sum + v))
    done
    echo "$sum"
}
serverNs() { if [ -n "$pulse" ]; then cpuNs "$pulse"; else echo 0; fi; }

# Nanoseconds a process has run on a processor, all its threads together.
cpuNs() {
    local sum=0 t v
    for t in /proc/"$1"/task/*/schedstat; do
        read -r v _ <"$t" 2>/dev/null && sum=$((sum + v))
    done
    echo "$sum"
}
nowNs() { date +%s%N; }

# One measured window on a screen: CPU shares over `secs` seconds.
# Prints: screen game% gui-thread% x-server% together%, then the sound
# threads' and the sound server's shares and the two together.
measure() {
    local label=$1 pid=$2 secs=$3
    local g0 m0 x0 s0 p0 t0 g1 m1 x1 s1 p1 t1
    g0=$(cpuNs "$pid"); m0=$(read -r v _ </proc/"$pid"/schedstat; echo "$v")
    x0=$(cpuNs "$xserver"); s0=$(soundNs "$pid"); p0=$(serverNs); t0=$(nowNs)
    sleep "$secs"
    g1=$(cpuNs "$pid"); m1=$(read -r v _ </proc/"$pid"/schedstat 2>/dev/null; echo "${v:-$m0}")
    x1=$(cpuNs "$xserver"); s1=$(soundNs "$pid"); p1=$(serverNs); t1=$(nowNs)
    awk -v l="$label" -v g=$((g1 - g0)) -v m=$((m1 - m0)) -v x=$((x1 - x0)) -v t=$((t1 - t0)) \
        -v s=$((s1 - s0)) -v p=$((p1 - p0)) \
        'BEGIN { printf "  %-22s game %6.2f %%  (window thread %6.2f %%)  X server %6.2f %%  together %6.2f %%\n",
                 l, 100*g/t, 100*m/t, 100*x/t, 100*(g+x)/t
                 printf "  %-22s sound threads %5.2f %%  sound server %5.2f %%  sound together %5.2f %%\n",
                 "", 100*s/t, 100*p/t, 100*(s+p)/t }'
}

# Starts a program and waits until its window is visible; prints the window id
# and the milliseconds from start to visible window into the named variables.
launch() {
    local name=$1; shift
    local t0 t1 w=""
    t0=$(nowNs)
    "$@" >"$work/$name.log" 2>&1 &
    launched=$!
    pids+=("$launched")
    for _ in $(seq 1000); do
        w=$(xdotool search --onlyvisible --name "$name" 2>/dev/null | head -1)
        [ -n "$w" ] && break
        sleep 0.01
    done
    t1=$(nowNs)
    window=$w
    startMs=$(( (t1 - t0) / 1000000 ))
}

# The window's size in screen pixels and its place, as WIDTHxHEIGHT+X+Y (not
# xwininfo's -geometry, which counts in the window's resize steps).
windowGeometry() {
    xwininfo -id "$window" | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
        /Width:/ { w = $2 } /Height:/ { h = $2 } END { printf "%sx%s+%s+%s", w, h, x, y }'
}

peakKb() { sed -n 's/^VmHWM:[[:space:]]*\([0-9]*\).*/\1/p' /proc/"$1"/status 2>/dev/null; }

# Device pixel (x, y) of the portrait screen in window coordinates.
devicePoint() {
    local w h s
    w=$(xwininfo -id "$window" | sed -n 's/.*Width: //p')
    h=$(xwininfo -id "$window" | sed -n 's/.*Height: //p')
    s=$(( w / 240 < h / 320 ? w / 240 : h / 320 ))
    echo $(( (w - 240 * s) / 2 + s * $1 + s / 2 )) $(( (h - 320 * s) / 2 + s * $2 + s / 2 ))
}

key() { xdotool key --window "$window" "$@"; sleep 0.3; }

export QT_QPA_PLATFORM=xcb
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$XDG_CONFIG_HOME"

pulse=""
if command -v pulseaudio >/dev/null; then
    export PULSE_RUNTIME_PATH="$work/pulse" PULSE_SERVER="unix:$work/pulse/native"
    mkdir -p "$PULSE_RUNTIME_PATH"
    unset SDL_AUDIODRIVER
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no -L module-null-sink \
        -L "module-native-protocol-unix socket=$work/pulse/native auth-anonymous=1" \
        >"$work/pulse.log" 2>&1 &
    pulse=$!
    pids+=("$pulse")
    for _ in $(seq 100); do [ -S "$work/pulse/native" ] && break; sleep 0.05; done
else
    export SDL_AUDIODRIVER=dummy
fi

echo "desktop.sh: $(date -u +%Y-%m-%d), $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)"
echo "display $GEOMETRY with openbox, $seconds s per screen, load before start: $(cut -d' ' -f1-3 /proc/loadavg)"
if [ -n "$pulse" ]; then
    echo "sound: PulseAudio $(pulseaudio --version | cut -d' ' -f2) with a null sink"
else
    echo "sound: SDL's dummy driver"
fi

# The title and busy play at each desktop scale of the list, each from a
# fresh start of the game.
measureScales() {
    local f
    for f in ${factors//,/ }; do
        launch CorvusRaiders env QT_SCALE_FACTOR="$f" "$game"
        game_pid=$launched
        [ -n "$window" ] || { echo "  scale factor $f: no window appeared"; continue; }
        echo "  scale factor $f: window $(windowGeometry)"
        xdotool windowactivate --sync "$window" 2>/dev/null
        sleep 1
        measure "title at $f" "$game_pid" "$seconds"
        key x
        key x
        xdotool keydown --window "$window" space
        sleep 1
        measure "play, fire held at $f" "$game_pid" "$seconds"
        xdotool keyup --window "$window" space
        stop "$game_pid"
    done
}

for run in $(seq "$runs"); do
    echo "run $run: CorvusRaiders"
    if [ -n "$factors" ]; then
        measureScales
    else
        launch CorvusRaiders "$game"
        game_pid=$launched
        [ -n "$window" ] || { echo "  no window appeared"; continue; }
        echo "  start to visible window: $startMs ms; window $(windowGeometry)"
        xdotool windowactivate --sync "$window" 2>/dev/null
        sleep 1
        measure "title" "$game_pid" "$seconds"
        key x
        measure "menu" "$game_pid" "$seconds"
        key x
        xdotool keydown --window "$window" space
        sleep 1
        measure "play, fire held" "$game_pid" "$seconds"
        xdotool keyup --window "$window" space
        key F11
        measure "pause" "$game_pid" "$seconds"
        read -r px py <<<"$(devicePoint 120 243)"
        xdotool mousemove --window "$window" "$px" "$py" click 1
        xdotool mousemove --window "$window" 1 1
        sleep 0.5
        measure "key redefinition" "$game_pid" "$seconds"
        key Left
        key Right
        key Up
        key space
        key Down
        key F11
        # Back on the pause screen: the whole monitor, then play again.
        key alt+Return
        echo "  full screen: window $(windowGeometry)"
        key x
        xdotool keydown --window "$window" space
        sleep 1
        measure "play, full screen" "$game_pid" "$seconds"
        xdotool keyup --window "$window" space
        echo "  peak RSS: $(peakKb "$game_pid") kB"
        stop "$game_pid"

        # The farewell screen ends the program after two seconds: a second start.
        launch CorvusRaiders "$game"
        game_pid=$launched
        xdotool windowactivate --sync "$window" 2>/dev/null
        sleep 0.5
        key x
        xdotool key --window "$window" Escape
        sleep 0.2
        measure "exit screen (${EXIT_WINDOW} s)" "$game_pid" "$EXIT_WINDOW"
        wait "$game_pid" 2>/dev/null
        echo "  program ended with status $?"
    fi

    # Peers, first screen only (their intro or title), the same way.
    if [ -x /usr/games/kobodl ]; then
        launch "Kobo Deluxe" /usr/games/kobodl
        sleep 1
        [ -n "$window" ] && echo "  kobodeluxe: start to window $startMs ms" &&
            measure "kobodeluxe intro" "$launched" "$seconds" &&
            echo "  kobodeluxe peak RSS: $(peakKb "$launched") kB"
        stop "$launched"
    fi
    if [ -x /usr/games/maelstrom ]; then
        launch Maelstrom /usr/games/maelstrom
        sleep 1
        [ -n "$window" ] && echo "  maelstrom: start to window $startMs ms" &&
            measure "maelstrom title" "$launched" "$seconds" &&
            echo "  maelstrom peak RSS: $(peakKb "$launched") kB"
        stop "$launched"
    fi
done
echo "load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
exit 0
