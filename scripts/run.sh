#!/usr/bin/env bash
# Installs what is missing, builds the editor in Release and starts it.
# With no picture named, it opens the bundled sample picture.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
"$top/scripts/deps.sh"
cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=Release -DTAV1_BUILD_TESTS=OFF -DTAV1_BUILD_BENCH=OFF >/dev/null
cmake --build "$top/build" -j"$(nproc)" --target tav1
picture="${1:-$top/resources/sample.png}"
exec "$top/build/ui/tav1" "$picture"
