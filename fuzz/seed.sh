#!/usr/bin/env bash
# Fills a fuzz target's seed folder: the pictures of the shared corpus in the
# target's format(s), every reproducer of tests/data/crashers, and for the
# settings reader a few INI texts. Existing files are kept. Usage:
#   fuzz/seed.sh TARGET FOLDER
set -euo pipefail
target="$1"
dest="$2"
top="$(cd "$(dirname "$0")/.." && pwd)"
corpus="${TAV1_CORPUS:-$top/../shared/corpus}"
mkdir -p "$dest"

copy_format() {  # copy_format FORMAT...: files of the corpus manifest in those formats
  [ -f "$corpus/MANIFEST.tsv" ] || return 0
  local want=" $* "
  tail -n +2 "$corpus/MANIFEST.tsv" | while IFS=$'\t' read -r path format _; do
    case "$want" in *" $format "*) ;; *) continue ;; esac
    [ -f "$corpus/$path" ] || continue
    # One flat folder: the path becomes the name, so no two seeds collide.
    cp -n "$corpus/$path" "$dest/seed_$(echo "$path" | tr '/' '_')"
  done
}

copy_crashers() {  # copy_crashers PATTERN...: reproducers kept as regression tests
  local p f
  for p in "$@"; do
    for f in "$top"/tests/data/crashers/$p; do
      [ -f "$f" ] && cp -n "$f" "$dest/crasher_$(basename "$f")"
    done
  done
  return 0
}

case "$target" in
  fuzz_bmp) copy_format BMP; copy_crashers '*.bmp' ;;
  fuzz_png) copy_format PNG; copy_crashers '*.png' ;;
  fuzz_jpeg) copy_format JPEG; copy_crashers '*.jpg' '*.jpeg' ;;
  fuzz_open) copy_format BMP PNG JPEG; copy_crashers '*.bmp' '*.png' '*.jpg' '*.jpeg' ;;
  fuzz_settings)
    printf '[Position]\r\nX1=30\r\nY1=30\r\n[Parameter]\r\nR0=0\r\nR1=0\r\nR2=255\r\n[Settings]\r\nStepL=7\r\nAutoApply=-1\r\nSatulation=250\r\n' >"$dest/seed_default.ini"
    printf '\xEF\xBB\xBF[settings]\nstepg = $ff\n; comment\nKidoRdc="1"\n[Parameter]\nb2=0x1FF\n[Parameter]\nB2=3\n' >"$dest/seed_bom.ini"
    printf 'X1=5\n[ Position ]\nx1 = -2147483648\ny1=2147483648\n[Position\nW1=+12\r\r\n' >"$dest/seed_odd.ini"
    copy_crashers '*.ini' ;;
  *) echo "unknown target: $target" >&2; exit 2 ;;
esac
