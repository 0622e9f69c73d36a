#!/usr/bin/env bash
# check-package.sh: CI's checks of the package that scripts/package.sh built:
# lintian, install, the installed desktop entry, AppStream metadata and
# --version, the installed program's main window under Xvfb, then removal.
# Installs and removes the package, so it runs as root or with sudo.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh lintian desktop-file-utils appstream xvfb xauth xdotool x11-utils
sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
debs=(qz4471_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "check-package.sh: expected one qz4471_*.deb here" >&2; exit 1; }
deb=${debs[0]}
version=$(sed -n 's/^project(qz4471 VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

step() { printf '\n== %s (%ss so far)\n' "$1" "$SECONDS"; }

step "lintian $deb"
lintian --fail-on error --info "$deb"

step "install"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 install -y -q "./$deb"
files=$(dpkg -L qz4471)
desktop=$(grep '^/usr/share/applications/.*\.desktop$' <<<"$files")
metainfo=$(grep '^/usr/share/metainfo/.*\.metainfo\.xml$' <<<"$files")
for f in /usr/bin/qz4471 /usr/share/man/man1/qz4471.1.gz /usr/lib/udev/rules.d/60-qz4471.rules; do
  grep -qx "$f" <<<"$files" || { echo "check-package.sh: the package lacks $f" >&2; exit 1; }
done
for side in 16 32 48 128 256; do
  grep -q "^/usr/share/icons/hicolor/${side}x${side}/apps/.*\.png$" <<<"$files" ||
    { echo "check-package.sh: no ${side} px icon" >&2; exit 1; }
done

step "desktop-file-validate and appstreamcli validate"
desktop-file-validate "$desktop"
appstreamcli validate --no-net "$metainfo"

step "qz4471 --version"
got=$(qz4471 --version)
[ "$got" = "qz4471 $version" ] || { echo "check-package.sh: '$got', want 'qz4471 $version'" >&2; exit 1; }

step "the menu entry's command under Xvfb"
command=$(sed -n 's/^Exec=//p' "$desktop" | sed 's/ *%[fFuU]//')
title=$(sed -n 's/^Name=//p' "$desktop")
timeout 120 xvfb-run -a bash -c '
  '"$command"' & pid=$!
  window=$(timeout 60 xdotool search --sync --onlyvisible --name "^'"$title"'\$" | head -n1)
  [ -n "$window" ] && xwininfo -id "$window" | grep -E "Map State|geometry"
  found=$?
  kill "$pid"; wait "$pid" || true
  exit $found'

step "remove"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 remove -y -q qz4471
! command -v qz4471 >/dev/null || { echo "check-package.sh: qz4471 is still installed" >&2; exit 1; }
step "done"
