#!/usr/bin/env bash
# install-deps.sh [PACKAGE...]: installs what building, running and testing need
# on Debian 12 (or the packages named); skips what is there.
set -euo pipefail
pkgs=(build-essential cmake qt6-base-dev qt6-base-dev-tools libgtest-dev libgmock-dev
      libbenchmark-dev libftdi1-dev libusb-1.0-0-dev libgpiod-dev pkg-config fonts-liberation2 fonts-dejavu-core sigrok-cli xvfb xauth openbox xdotool x11-utils imagemagick clang libclang-rt-14-dev
      python3-pyvisa python3-pyvisa-py python3-pymeasure)
[ $# -gt 0 ] && pkgs=("$@")
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
# Wait for another apt or dpkg to finish rather than fail at once.
lock=(-o DPkg::Lock::Timeout=300)
$sudo apt-get "${lock[@]}" update -q
$sudo apt-get "${lock[@]}" install -y -q --no-install-recommends "${missing[@]}"
