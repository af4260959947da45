#!/usr/bin/env bash
# One entry point: "./build.sh run" starts the viewer, "./build.sh test" runs every test.
set -euo pipefail
cd "$(dirname "$0")"
JOBS=$(nproc 2>/dev/null || echo 2)
./setup.sh

build() { # dir, extra cmake args... [--target NAME]
  local dir=$1; shift
  local args=() target=()
  while [ $# -gt 0 ]; do
    if [ "$1" = "--target" ]; then target=(--target "$2"); shift 2; else args+=("$1"); shift; fi
  done
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${args[@]}" >/dev/null
  cmake --build "$dir" -j "$JOBS" "${target[@]}"
}

case "${1:-}" in
  run)
    build build
    exec ./build/app/zyn-viewer
    ;;
  test)
    build build
    QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j "$JOBS"
    # The unit tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
    build build-asan -DZYN_SANITIZE=ON -DZYN_BUILD_BENCH=OFF
    QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
      ctest --test-dir build-asan --output-on-failure -j "$JOBS" -L unit
    # The reader's fuzz target, built with clang, and a short run on a copy of its corpus.
    if command -v clang++ >/dev/null 2>&1; then
      CC=clang CXX=clang++ build build-fuzz -DZYN_BUILD_FUZZ=ON -DZYN_BUILD_BENCH=OFF --target fuzz_reader
      rm -rf build-fuzz/corpus && cp -r tests/fuzz/corpus build-fuzz/corpus
      ./build-fuzz/tests/fuzz/fuzz_reader -runs=30000 -max_len=4096 -dict=tests/fuzz/reader.dict build-fuzz/corpus
    fi
    ;;
  *)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
