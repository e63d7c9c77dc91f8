#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Exits non-zero on any failure.
#   0. every C++ source in the format .clang-format describes;
#   1. the libFuzzer targets (clang), each run for a few seconds over its seed corpus;
#   2. a Debug build with AddressSanitizer and UndefinedBehaviorSanitizer, running every test (the
#      windows offscreen, the end-to-end test on a private X server);
#   3. the optimised build with every test;
#   4. the Debian package, built from it, unpacked and run.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

echo "== source format (.clang-format)"
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror

jobs=$(nproc)
export CTEST_OUTPUT_ON_FAILURE=1

echo "== fuzz targets (smoke run)"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARNWICK_FUZZ=ON -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=OFF >/dev/null
cmake --build build-fuzz
ctest --test-dir build-fuzz -j "$jobs"

echo "== sanitizer build (ASan + UBSan)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARNWICK_SANITIZE=ON -DTARNWICK_BENCH=OFF -DTARNWICK_GUI=ON >/dev/null
cmake --build build-asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions=$PWD/tests/support/lsan.supp \
  ctest --test-dir build-asan -j "$jobs"

echo "== optimised build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
ctest --test-dir build -j "$jobs"

echo "== Debian package (built, unpacked and run from a temporary root)"
./scripts/check-package.sh build
