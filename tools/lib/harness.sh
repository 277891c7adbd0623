# Shared by tools/test and tools/demo: a private X display with a window
# manager and a Wine prefix inside the build folder, with a persistent
# wineserver so that each Windows program starts in a fraction of a second. Everything started here is
# recorded by process id and stopped by harness_stop.

harness_pids=()

# harness_start_xvfb WIDTHxHEIGHTxDEPTH VAR: starts Xvfb on a free display and
# stores ":N" in VAR.
harness_start_xvfb() {
    local screen=$1 var=$2 fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
    harness_pids+=($!)
    local number
    if ! read -r -t 30 number <"$fifo"; then
        rm -f "$fifo"
        echo "harness: Xvfb did not start" >&2
        return 1
    fi
    rm -f "$fifo"
    printf -v "$var" ':%s' "$number"
}

# harness_start_wine PREFIX DISPLAY: makes the prefix when it is new and starts
# its persistent wineserver.
harness_start_wine() {
    local prefix=$1 display=$2
    mkdir -p "$prefix"
    WINEPREFIX="$prefix" wineserver -f -p >/dev/null 2>&1 &
    harness_pids+=($!)
    if [ ! -f "$prefix/.ms-ready" ]; then
        WINEPREFIX="$prefix" DISPLAY="$display" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
            wineboot -i >/dev/null 2>&1
        # A crashing test program must not wait on a debugger dialog.
        WINEPREFIX="$prefix" DISPLAY="$display" WINEDEBUG=-all \
            wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
        touch "$prefix/.ms-ready"
    fi
    # Start Wine's own services now, detached from our output: started by the
    # first test instead, they would hold its output pipe open until the end.
    WINEPREFIX="$prefix" DISPLAY="$display" WINEDEBUG=-all \
        wine cmd.exe /c exit </dev/null >/dev/null 2>&1
}

# harness_start_wm DISPLAY: a window manager, as on any desktop. Without one
# Wine waits two seconds whenever a program hides a managed window, and
# layered windows are not shown.
harness_start_wm() {
    local display=$1
    DISPLAY="$display" openbox --sm-disable >/dev/null 2>&1 &
    harness_pids+=($!)
    # Ready once it has claimed the screen.
    local i
    for i in $(seq 100); do
        DISPLAY="$display" xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
        sleep 0.1
    done
    echo "harness: the window manager did not start" >&2
    return 1
}

harness_stop() {
    local prefix
    for prefix in "$@"; do
        WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
    done
    local pid
    for pid in "${harness_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${harness_pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    harness_pids=()
}

# harness_build ROOT BUILD: configures (once) and builds the project.
harness_build() {
    local root=$1 build=$2
    if [ ! -f "$build/CMakeCache.txt" ]; then
        cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
            -DCMAKE_BUILD_TYPE=Release >/dev/null
    fi
    cmake --build "$build" -j"$(nproc)" -- --no-print-directory
}
