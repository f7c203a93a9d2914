#!/usr/bin/env bash
# One entry point: installs what the project needs from Debian, builds, and then
# runs the program or the tests.
#   bash build.sh run     the window with the example world (the command line without a display)
#   bash build.sh test    every test suite, with sanitizers, then the tsan pass, then the Windows pass
#   bash build.sh windows the Windows build (MinGW-w64), its tests under Wine, dist/morvane-windows-x64.zip
#   bash build.sh tsan    the tests of the threaded code under ThreadSanitizer (in build-tsan/)
#   bash build.sh bench   the full-size benchmark
#   bash build.sh build   just the release build (in build/)
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-private-dev libsimpleini-dev libcli11-dev
          libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev)
# The Windows cross-build: compiler, zlib for Windows, Wine to run the results,
# GoogleTest's sources (built with the cross compiler), zip and file for the archive.
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 googletest
                  libcli11-dev libsimpleini-dev zip unzip file binutils-mingw-w64-x86-64)

install_packages() { # extra packages...
    local missing=()
    for p in "${PACKAGES[@]}" "$@"; do
        dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        export DEBIAN_FRONTEND=noninteractive
        apt-get update
        apt-get install -y --no-install-recommends "${missing[@]}"
    fi
}

configure_and_build() { # folder, extra cmake arguments...
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja "$@"
    cmake --build "$dir" --parallel "$(nproc)"
}

# The threaded code: the smoothing scheduler and the fast stages, the map
# writer's second thread and its statics thread, the two threads of the image
# import and of the preview and void report, the two halves of reading a map
# back and of a merge. Qt is not built with ThreadSanitizer, so only these
# tests run under it: their threads are our own and never call into Qt.
TSAN_TARGETS=(pipeline_tests output_tests model_tests platform_tests)
TSAN_TESTS='^(Platform|FastSmoothing|FastStages|SmoothingSchedule|SmoothingKernels|GameHeights|HeightProfile|MapWriter|MapWriterFiller|MapPreview|VoidReport|ImageImport|Statics|HeightsImport|PaintedHeights|HeightsPicture|SmallConfig|MapMerge|MapReader|MergeRegion|MergeCoastRings|Configurations/RoundTrip)\.'

run_tsan() {
    cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVANE_TSAN=ON -DMORVANE_BENCH=OFF -DMORVANE_EXAMPLE_WORLD=OFF
    cmake --build build-tsan --parallel "$(nproc)" --target "${TSAN_TARGETS[@]}"
    # A report fails the test (exit code 66) instead of only being printed.
    (cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" QT_QPA_PLATFORM=offscreen \
        ctest --output-on-failure --parallel "$(nproc)" --timeout 600 -R "$TSAN_TESTS")
}

# How long each pass took, printed at the end.
PASS_TIMES=()
timed() { # label, command...
    local label=$1 start=$SECONDS
    shift
    "$@"
    PASS_TIMES+=("$label: $(( (SECONDS - start) / 60 )) min $(( (SECONDS - start) % 60 )) s")
}
print_times() {
    printf '%s\n' "${PASS_TIMES[@]}"
}

run_asan_tests() {
    configure_and_build build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVANE_SANITIZE=ON -DMORVANE_BENCH=OFF -DMORVANE_EXAMPLE_WORLD=OFF
    (cd build-test && ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen \
        ctest --output-on-failure --parallel "$(nproc)" --timeout 600)
}

case "${1:-}" in
    build)
        install_packages
        configure_and_build build -DCMAKE_BUILD_TYPE=Release
        ;;
    test)
        install_packages "${WINDOWS_PACKAGES[@]}"
        timed "Linux tests with sanitizers (build-test)" run_asan_tests
        timed "ThreadSanitizer (build-tsan)" run_tsan
        # The Windows results are compared with the Linux command line just built.
        ASAN_OPTIONS=detect_leaks=0 timed "Windows build and Wine tests (build-windows)" bash tools/windows-pass.sh build-test/bin
        print_times
        ;;
    windows)
        install_packages "${WINDOWS_PACKAGES[@]}"
        cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
        cmake --build build --parallel "$(nproc)" --target morvane-cli morvane-world
        timed "Windows build and Wine tests (build-windows)" bash tools/windows-pass.sh build/bin
        print_times
        ;;
    tsan)
        install_packages
        run_tsan
        ;;
    bench)
        install_packages
        configure_and_build build -DCMAKE_BUILD_TYPE=Release
        ./build/bin/morvane-bench
        ;;
    run)
        install_packages
        configure_and_build build -DCMAKE_BUILD_TYPE=Release
        exec ./tools/run-example.sh build/bin
        ;;
    *)
        echo "usage: bash build.sh run|test|tsan|windows|bench|build" >&2
        exit 1
        ;;
esac
