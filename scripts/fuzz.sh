#!/usr/bin/env bash
# Runs one libFuzzer target for a number of seconds. Usage:
#   scripts/fuzz.sh TARGET SECONDS
# TARGET: fuzz_bmp, fuzz_png, fuzz_jpeg, fuzz_open, fuzz_settings.
# Builds the target in $TAV1_FUZZ_BUILD (default ../build-fuzz beside the tree)
# with clang-14, seeds its corpus from the shared picture corpus, and runs it
# with one job. Memory above the limits and inputs slower than the timeout are
# reported as findings, like crashes. Output:
#   $TAV1_FUZZ_LOGS/TARGET/fuzz-0.log   the run's log (final stats at the end)
#   $TAV1_FUZZ_LOGS/TARGET/             crash-*, leak-*, timeout-*, oom-* inputs
#   $TAV1_FUZZ_CORPUS/TARGET/           the growing corpus, kept between runs
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 TARGET SECONDS" >&2; exit 2; }
target="$1"
seconds="$2"
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${TAV1_FUZZ_BUILD:-$top/../build-fuzz}"
logs="${TAV1_FUZZ_LOGS:-$top/../fuzz-logs}/$target"
corpus="${TAV1_FUZZ_CORPUS:-$top/../fuzz-corpus}/$target"

case "$target" in
  fuzz_settings) max_len=4096 ;;
  *) max_len=262144 ;;
esac
# Marker and chunk names help mutations keep the files' structure.
dict=()
case "$target" in
  fuzz_png) dict=(-dict="$top/fuzz/png.dict") ;;
  fuzz_jpeg) dict=(-dict="$top/fuzz/jpeg.dict") ;;
  fuzz_open) cat "$top/fuzz/png.dict" "$top/fuzz/jpeg.dict" >"${TMPDIR:-/tmp}/tav1-open.dict"
             dict=(-dict="${TMPDIR:-/tmp}/tav1-open.dict") ;;
esac

if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang-14 CXX=clang++-14 cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAV1_FUZZ=ON \
    -DTAV1_BUILD_UI=OFF -DTAV1_BUILD_TESTS=OFF -DTAV1_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$build" -j2 --target "$target" >/dev/null
"$top/fuzz/seed.sh" "$target" "$corpus"
mkdir -p "$logs"
cd "$logs"
# -rss_limit_mb / -malloc_limit_mb: an 8000 x 8000 picture needs well under
# 1 GB on the open path, and no single allocation over 512 MB (a store is
# 192 MB), so more is a memory hog.
# -timeout: no single file may take 20 s, even the largest under the sanitizers.
"$build/fuzz/$target" "$corpus" -jobs=1 -workers=1 -max_total_time="$seconds" -max_len="$max_len" \
  -rss_limit_mb=2048 -malloc_limit_mb=512 -timeout=20 -print_final_stats=1 "${dict[@]}" \
  -artifact_prefix="$logs/" >"$logs/run.log" 2>&1 || true
log="$logs/fuzz-0.log"
grep -E "stat::number_of_executed_units|stat::peak_rss_mb|ERROR|SUMMARY|Test unit written" "$log" || true
ls "$logs" | grep -E '^(crash|leak|timeout|oom|slow-unit)-' || echo "no findings"
