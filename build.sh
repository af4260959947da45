#!/usr/bin/env bash
# One entry point: "./build.sh run" starts the viewer, "./build.sh test" runs every test.
set -euo pipefail
cd "$(dirname "$0")"
JOBS=$(nproc 2>/dev/null || echo 2)
./setup.sh

build() { # dir, extra cmake args... [--target NAME]
  local dir=$1; shift
  local args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) target=()
  while [ $# -gt 0 ]; do
    if [ "$1" = "--target" ]; then target=(--target "$2"); shift 2; else args+=("$1"); shift; fi
  done
  # Configured once per set of options; after that the build reruns CMake by itself when a
  # CMake file or the set of sources changes, which keeps an unchanged rebuild short.
  if [ ! -f "$dir/CMakeCache.txt" ] || [ "$(cat "$dir/.build-sh-options" 2>/dev/null)" != "${args[*]}" ]; then
    cmake -S . -B "$dir" "${args[@]}" >/dev/null
    echo "${args[*]}" >"$dir/.build-sh-options"
  fi
  cmake --build "$dir" -j "$JOBS" "${target[@]}"
}

case "${1:-}" in
  run)
    build build --target zyn-viewer
    exec ./build/app/zyn-viewer
    ;;
  test)
    build build
    ctest --test-dir build --output-on-failure -j "$JOBS"
    # The reader's fuzz target, built with clang, and a short run on a copy of its corpus; its
    # log stays in a file unless the run fails.
    if command -v clang++ >/dev/null 2>&1; then
      CC=clang CXX=clang++ build build-fuzz -DBUILD_TESTING=OFF -DZYN_BUILD_FUZZ=ON -DZYN_BUILD_BENCH=OFF \
        --target fuzz_reader
      rm -rf build-fuzz/corpus && cp -r tests/fuzz/corpus build-fuzz/corpus
      if ./build-fuzz/tests/fuzz/fuzz_reader -runs=30000 -max_len=4096 -dict=tests/fuzz/reader.dict \
          build-fuzz/corpus >build-fuzz/fuzz.log 2>&1; then
        echo "fuzz_reader: $(grep -o 'Done [0-9]* runs in [0-9]* second(s)' build-fuzz/fuzz.log), no failure" \
          "(log: build-fuzz/fuzz.log)"
      else
        tail -n 80 build-fuzz/fuzz.log
        echo "fuzz_reader: FAILED (log: build-fuzz/fuzz.log)" >&2
        exit 1
      fi
    else
      echo "fuzz_reader: SKIPPED, clang++ is not installed (./setup.sh installs it)"
    fi
    # The unit tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
    build build-asan -DZYN_SANITIZE=ON -DZYN_BUILD_BENCH=OFF
    ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
      ctest --test-dir build-asan --output-on-failure -j "$JOBS" -L unit
    ;;
  *)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
