#!/usr/bin/env bash
# One entry point: "./build.sh run" starts the viewer, "./build.sh test" runs every test.
set -euo pipefail
cd "$(dirname "$0")"
JOBS=$(nproc 2>/dev/null || echo 2)
./setup.sh

build() { # dir, extra cmake args...
  local dir=$1; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
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
    ;;
  *)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
