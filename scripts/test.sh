#!/usr/bin/env bash
# One command from a fresh clone to a tested tree: packages, a Release build with every test,
# then the same suite under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
JOBS=$(nproc)

echo "== Include directions, formatting, cppcheck"
bash scripts/check-code.sh

echo "== Release build and tests"
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Release -DPARLORIX_TESTS=ON
cmake --build build-test -j"$JOBS"
ctest --test-dir build-test --output-on-failure -j"$JOBS" --timeout 600

echo "== The Debian package, checked as a packager would"
bash scripts/package.sh build-test

echo "== Sanitizer build and tests"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DPARLORIX_SANITIZE=ON -DPARLORIX_TESTS=ON \
  -DPARLORIX_CONTENT=OFF -DPARLORIX_DATA_DIR="$(pwd)/build-test"
cmake --build build-asan -j"$JOBS"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$JOBS" --timeout 900
echo "== Fuzz targets: regression inputs, then a short bounded run of each (scripts/fuzz.sh for the long one)"
PARLORIX_DATA_DIR="$(pwd)/build-test" bash scripts/fuzz.sh --seconds 12

echo "All tests passed in both builds."
