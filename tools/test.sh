#!/usr/bin/env bash
# tools/test.sh: the one test command. Installs the dependencies, builds and runs every test in a
# release build, then again under AddressSanitizer + UndefinedBehaviorSanitizer, then the tests
# that start threads under ThreadSanitizer, then runs each fuzz target for a bounded time. Exits
# non-zero on the first failure.
#   ZR_FUZZ_SECONDS  seconds per fuzz target (default 45; 0 skips fuzzing)
#   ZR_JOBS          parallel build and test jobs (default: logical processors)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

jobs=${ZR_JOBS:-$(nproc)}
fuzz_seconds=${ZR_FUZZ_SECONDS:-45}

step() { printf '\n== %s\n' "$*"; }

step "dependencies"
tools/install-deps.sh

run_suite() {  # build-dir, then extra cmake arguments
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -Wno-dev "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure --no-tests=error \
    ${ZR_CTEST_LABEL:+-L "$ZR_CTEST_LABEL"}
}

step "release build and tests"
run_suite build/release -DCMAKE_BUILD_TYPE=Release

step "sanitizer build and tests (ASan + UBSan)"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$top/tools/lsan.supp}
run_suite build/asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZR_SANITIZE=ON -DZR_BENCH=OFF

# The tests that start threads, by their CTest label threads: each test folder's CMakeLists names
# them in zr_add_test_suite's THREADS list. A data race fails the test (a program the test runs
# exits with TSan's status). Reports from inside TBB or OpenCV, if any, go into tools/tsan.supp.
step "thread sanitizer build and the tests that start threads"
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:suppressions=$top/tools/tsan.supp}
ZR_CTEST_LABEL='^threads$' \
  run_suite build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZR_TSAN=ON -DZR_BENCH=OFF \
    -DZR_MODELS_FROM="$top/build/release/models"

if [ "$fuzz_seconds" -gt 0 ]; then
  step "fuzz targets (${fuzz_seconds}s each)"
  cmake -S . -B build/fuzz -G Ninja -Wno-dev -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DZR_FUZZ=ON -DZR_BENCH=OFF \
    -DZR_TESTS=OFF >/dev/null
  cmake --build build/fuzz -j "$jobs"
  tools/run-fuzzers.sh build/fuzz "$fuzz_seconds"
fi

step "all passed"
