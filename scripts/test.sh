#!/usr/bin/env bash
# Installs what is missing, builds everything in Release and runs every test,
# then builds the libraries and their tests with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs those too.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
"$top/scripts/deps.sh"
jobs="$(nproc)"
build="$top/build-test"
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$jobs"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j"$jobs" --timeout 2400
TAV1_JOBS="$jobs" "$top/scripts/sanitize.sh" "$top/build-asan"
