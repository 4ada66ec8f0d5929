#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs, when any is missing.
set -euo pipefail
pkgs=(build-essential cmake g++ pkg-config qt6-base-dev qt6-translations-l10n libgl-dev libjpeg62-turbo-dev libpng-dev zlib1g-dev
      libgtest-dev libgmock-dev libbenchmark-dev fonts-noto-cjk xvfb xauth imagemagick)
pkgs+=("$@")
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
