#!/usr/bin/env bash
# install-deps.sh [--tests | PACKAGE...]: installs on Debian 12 what building
# and running the program need; with --tests also what its tests, benchmarks
# and fuzz targets need; or just the packages named. Skips what is there.
set -euo pipefail
pkgs=(build-essential cmake ccache pkg-config qt6-base-dev qt6-base-dev-tools
      libftdi1-dev libusb-1.0-0-dev libgpiod-dev libtirpc-dev rpcsvc-proto libavahi-client-dev
      fonts-liberation2 fonts-dejavu-core)
tests=(libgtest-dev libgmock-dev libbenchmark-dev sigrok-cli xvfb xauth openbox xdotool
       x11-utils imagemagick clang libclang-rt-14-dev python3-pyvisa python3-pyvisa-py
       python3-pymeasure rpcbind lxi-tools avahi-daemon avahi-utils dbus iproute2)
if [ "${1:-}" = "--tests" ]; then pkgs+=("${tests[@]}")
elif [ $# -gt 0 ]; then pkgs=("$@"); fi
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
