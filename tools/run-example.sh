#!/usr/bin/env bash
# Runs Morvane on the example world, given the folder of the built programs:
#   tools/run-example.sh build/bin
# With a display it opens the window with the example world loaded; without
# one it makes the map file with the command line instead.
set -euo pipefail

if [ $# -ne 1 ] || [ ! -d "$1" ]; then
    echo "usage: $0 BIN_FOLDER   (the folder holding morvane, morvane-cli and morvane-world)" >&2
    exit 1
fi
bin=$(cd "$1" && pwd -P)
world="$bin/map.bmp"
map="$bin/map0.mul"

need() { # program
    if [ ! -x "$bin/$1" ]; then
        echo "$bin/$1 is missing: build the project first (bash build.sh build)." >&2
        exit 1
    fi
}

# The build paints the example world; paint it here if it is gone. The same
# size and seed as the build's, so it is the same picture.
if [ ! -f "$world" ]; then
    need morvane-world
    "$bin/morvane-world" --width 6144 --height 4096 --seed 1 "$world"
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    need morvane
    # The window's settings file names the picture to load at start-up. A
    # settings file that is already there is the user's: it is never replaced.
    settings="$bin/morvane.ini"
    if [ ! -e "$settings" ]; then
        printf '[Main]\nBMPFileName=%s\nMAPFileName=%s\nLoadBMPOnStartup=1\n' "$world" "$map" >"$settings"
    fi
    cd "$bin"
    exec ./morvane
fi

need morvane-cli
echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): making the map with morvane-cli instead of the window."
"$bin/morvane-cli" --seed 1 -o "$map" "$world"
echo "The map file was written to $map"
