#!/usr/bin/env bash
# Builds the libraries and the non-UI test programs with AddressSanitizer and
# UndefinedBehaviorSanitizer (g++) and runs every test. Any sanitizer report
# fails the run. Usage: scripts/sanitize.sh [BUILD_FOLDER]
# (default ../build-asan beside the tree; TAV1_JOBS sets the parallelism, 2).
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/../build-asan}"
jobs="${TAV1_JOBS:-2}"
targets=(codecs_tests core_image_tests core_tone_tests core_graph_tests core_state_tests core_editor_tests batch_tests)

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ \
  -DTAV1_SANITIZE=ON -DTAV1_BUILD_UI=OFF -DTAV1_BUILD_BENCH=OFF -DTAV1_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j"$jobs" --target "${targets[@]}"

# max_allocation_size_mb: the largest legitimate single allocation is one
# 8000 x 8000 store (192 MB); a file that makes anything ask for more than 512 MB
# is a memory hog and fails here rather than passing quietly.
export ASAN_OPTIONS="detect_leaks=1:max_allocation_size_mb=512:allocator_may_return_null=0:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
ctest --test-dir "$build" -j"$jobs" --output-on-failure --timeout 600 \
  -L "^($(IFS='|'; echo "${targets[*]}"))$"
