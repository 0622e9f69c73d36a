# Sourced by the build scripts. Every compile goes through ccache, with the
# cache outside the checkout, so a developer's builds warm CI's (CI builds in a
# fresh clone elsewhere) and each CI run warms the next. Paths are hashed
# relative to the checkout and the working folder not at all, or a clone in
# another folder would miss every time. CCACHE_DIR is given explicitly: the
# package build resets HOME and the XDG variables.
_qz_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export CCACHE_DIR=${CCACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/ccache}
export CCACHE_BASEDIR=$_qz_root
export CCACHE_NOHASHDIR=1
# configure DIR CMAKE_ARGS...: configures DIR; with CI=true warnings are errors.
qz_configure() {
  local dir=$1; shift
  local werror=OFF; [ "${CI:-}" = "true" ] && werror=ON
  cmake -S "$_qz_root" -B "$_qz_root/$dir" -DQZ_WERROR=$werror "$@" >/dev/null
}
