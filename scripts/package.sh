#!/usr/bin/env bash
# package.sh: builds qz4471_<version>_<arch>.deb into the repository root with
# dpkg-buildpackage, after installing the packaging tools and the build
# dependencies, and the source package (linted) into build-deb/. It builds in a
# copy outside the checkout, so the work tree stays clean.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh build-essential dpkg-dev debhelper lintian desktop-file-utils appstream

# One version number: the package's must be project()'s.
version=$(sed -n 's/^project(qz4471 VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
packaged=$(dpkg-parsechangelog -S Version)
if [ "$version" != "$packaged" ]; then
  echo "package.sh: debian/changelog says $packaged but CMakeLists.txt's project() says $version" >&2
  exit 1
fi

if ! dpkg-checkbuilddeps 2>/dev/null; then
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 build-dep -y -q ./
fi

# Compiles through ccache (CMake finds it), into the cache the other builds
# use. The package's compiler flags name the folder it is built in
# (-ffile-prefix-map), so it is built in one folder outside the checkout,
# whichever clone it comes from, or no clone's build would find another's in
# the cache; a lock keeps two package builds out of each other's way.
source scripts/ccache-env.sh
stage=${TMPDIR:-/tmp}/qz4471-deb; src=$stage/qz4471-$version
export CCACHE_BASEDIR=$stage
exec 9>"$stage.lock"; flock 9
rm -rf "$stage"; mkdir -p "$src"
# Tracked and new files, none that .gitignore names (build folders, images).
git ls-files -z --cached --others --exclude-standard |
  tar --null -T - --ignore-failed-read -cf - 2>/dev/null | tar -xf - -C "$src"
# At most two compile jobs: the machines are shared.
(cd "$src" && DEB_BUILD_OPTIONS="parallel=2 ${DEB_BUILD_OPTIONS:-}" dpkg-buildpackage -us -uc)
lintian --fail-on error --info "$stage"/qz4471_"$version".dsc

# The binary package here, the source package (.dsc and tarball) in build-deb/.
rm -rf qz4471_*.deb build-deb; mkdir build-deb
cp "$stage"/qz4471_"$version"_*.deb .
cp "$stage"/qz4471_"$version".dsc "$stage"/qz4471_"$version".tar.* build-deb/
rm -rf "$stage"
ls qz4471_*.deb
