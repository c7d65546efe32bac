#!/usr/bin/env bash
# Installs what Zoetra needs on Debian 12, builds it, and then:
#   start  runs the program (pictures named after it wait in the GIF palette;
#          relative names are taken from the folder the command runs in)
#   test   runs the whole test suite: the normal build, the sanitizer build
#          (AddressSanitizer + UndefinedBehaviorSanitizer) and a short run of
#          every fuzz target
#   bench  runs the benchmarks (not part of the test suite)
set -euo pipefail
mode=${1:-test}
[ $# -gt 0 ] && shift
# The pictures for start, made absolute before the move to the project folder.
pictures=()
for picture in "$@"; do
    case $picture in
    /*) pictures+=("$picture") ;;
    *) pictures+=("$PWD/$picture") ;;
    esac
done
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

build_packages="build-essential cmake ninja-build pkg-config libfltk1.3-dev libfreetype-dev
  libfontconfig-dev fonts-dejavu-core libpng-dev libjpeg62-turbo-dev libgtest-dev libbenchmark-dev
  libimagequant-dev libpixman-1-dev"
# Independent references that the tests compare against, and the fuzzing toolchain.
test_packages="clang clang-format libclang-rt-14-dev libgif-dev imagemagick ffmpeg gifsicle
  python3 python3-pil python3-numpy xvfb xdotool libgtk-3-0 bsdutils file desktop-file-utils"
bench_packages="hyperfine bc"

install() {
    local wanted="$build_packages"
    [ "$mode" = start ] || wanted="$wanted $test_packages"
    [ "$mode" = bench ] && wanted="$wanted $bench_packages"
    # shellcheck disable=SC2086
    if ! dpkg -s $wanted >/dev/null 2>&1; then
        as_root apt-get update -q
        # shellcheck disable=SC2086
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $wanted
    fi
}

# Every option is passed explicitly, so a folder configured by one mode
# never carries its settings into another. CMAKE_GENERATOR chooses another
# generator than Ninja (the test suite builds once with CMake's default).
configure_and_build() { # dir [--target T] extra cmake options...
    local dir=$1 target=all
    shift
    if [ "${1:-}" = --target ]; then
        target=$2
        shift 2
    fi
    cmake -S "$root" -B "$dir" -G "${CMAKE_GENERATOR:-Ninja}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j "$jobs" --target "$target"
}

run_tests() { # dir [environment assignments...]
    local dir=$1
    shift
    (cd "$dir" && env "$@" ctest --output-on-failure --no-tests=error -j "$jobs")
}

run_fuzzers() { # dir
    local dir=$1 seconds=${FUZZ_SECONDS:-60}
    for fuzzer in "$dir"/fuzz/fuzz_*; do
        [ -x "$fuzzer" ] || continue
        local name=${fuzzer##*/fuzz_}
        local corpus="$dir/fuzz-corpus/$name"
        mkdir -p "$corpus"
        echo "== fuzzing $name for ${seconds}s"
        local log="$dir/fuzz-$name.log" status=0
        "$fuzzer" "$corpus" "$root/fuzz/corpus/$name" -max_total_time="$seconds" \
            -print_final_stats=1 -close_fd_mask=3 >"$log" 2>&1 || status=$?
        grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$log" || true
        if [ "$status" -ne 0 ]; then
            tail -n 60 "$log"
            echo "fuzz target $name found a fault (exit status $status)"
            return 1
        fi
    done
}

install
case "$mode" in
start)
    # ZOETRA_BUILD_DIR: another build folder than build (the test suite's check of start).
    start_build=${ZOETRA_BUILD_DIR:-build}
    configure_and_build "$start_build" -DZOETRA_TESTS=OFF -DZOETRA_WERROR=OFF -DZOETRA_SANITIZE=OFF
    exec "$root/tools/start-zoetra.sh" "$start_build" "${pictures[@]}"
    ;;
test)
    # Each phase's time is printed as it ends and again in a table at the end.
    phases=()
    phase_started=$SECONDS
    phase() {
        local now=$SECONDS
        [ -z "${current_phase:-}" ] || phases+=("$(printf '%5ds  %s' $((now - phase_started)) "$current_phase")")
        current_phase=$1 phase_started=$now
        [ "$1" = done ] || echo "== $1 (${now}s so far)"
    }
    development="-DZOETRA_TESTS=ON -DZOETRA_WERROR=ON -DZOETRA_BENCH=OFF -DZOETRA_FUZZ=OFF"
    # Every C++ file as .clang-format lays it out.
    phase "format check"
    bash tools/check-format.sh
    phase "build"
    # shellcheck disable=SC2086
    configure_and_build build $development -DZOETRA_SANITIZE=OFF
    phase "tests"
    run_tests build
    # The real window under a virtual X server, driven as a person would.
    phase "window test under a virtual X server"
    WINDOW_CPU_SECONDS=${WINDOW_CPU_SECONDS:-10} bash tests/window/window_test.sh build build/window-test
    # The README's start command with pictures, built with CMake's default
    # generator instead of Ninja.
    phase "start with pictures, built with CMake's default generator"
    bash tests/window/start_test.sh build-plain build/window-test
    # The Debian package, unpacked into a folder of its own, renders alone.
    phase "package check"
    bash tests/package/check_package.sh build
    phase "sanitizer build"
    # shellcheck disable=SC2086
    configure_and_build build-sanitize $development -DZOETRA_SANITIZE=ON
    phase "tests under AddressSanitizer and UndefinedBehaviorSanitizer"
    run_tests build-sanitize ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
    # A user's build is the Release configuration: it must build without a
    # warning too (warnings at -O3 differ), and pass the tests.
    phase "release build"
    # shellcheck disable=SC2086
    configure_and_build build-release $development -DZOETRA_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release
    phase "tests of the release build"
    run_tests build-release
    phase "fuzzing build"
    CC=clang CXX=clang++ configure_and_build build-fuzz --target fuzzers -DZOETRA_FUZZ=ON \
        -DZOETRA_TESTS=OFF -DZOETRA_WERROR=ON -DZOETRA_SANITIZE=OFF
    phase "fuzzing"
    run_fuzzers build-fuzz
    phase "done"
    echo "== every phase passed in ${SECONDS}s:"
    printf '%s\n' "${phases[@]}"
    ;;
bench)
    configure_and_build build-bench -DZOETRA_BENCH=ON -DZOETRA_TESTS=OFF -DZOETRA_WERROR=OFF \
        -DZOETRA_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release
    exec "$root/tools/run-benchmarks.sh" build-bench
    ;;
*)
    echo "usage: $0 start|test|bench" >&2
    exit 1
    ;;
esac
