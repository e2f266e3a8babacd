#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need.
# Only missing packages are installed, non-interactively; a machine that has
# them all does nothing and needs no network.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  # libraries
  libfmt-dev libjpeg62-turbo-dev libtiff-dev libgmime-3.0-dev libasound2-dev libgsm1-dev
  # oracles used by the tests
  libjpeg-turbo-progs libtiff-tools imagemagick libimage-exiftool-perl exiv2 sox alsa-utils
  xdg-utils
  # the e-mail outbox read back by a mail parser and a mail program
  python3 mutt
  # the Qt user interface, and its scenario tests under a virtual X server
  qt6-base-dev libgl-dev xvfb xauth xdotool x11-utils fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
