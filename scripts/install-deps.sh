#!/usr/bin/env bash
# Installs the Debian packages Pelorin2 needs to build, test and run, and only
# those that are missing. Runs apt-get as root, through sudo otherwise.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libvips-dev liblcms2-dev libvips-tools imagemagick
  fuse3 libfuse3-dev
  xvfb xauth xdg-utils time
  clang libclang-rt-14-dev
  chromium
  dpkg-dev appstream desktop-file-utils groff-base man-db lintian
)
if [[ $# -gt 0 ]]; then packages=("$@"); fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
