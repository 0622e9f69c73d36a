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
# The scripts' builds: optimised enough for the timing benches, line tables
# for backtraces, and a third quicker to compile than -O2 -g (a CI run
# compiles the program four ways). The Debian package takes Debian's flags.
QZ_RELEASE=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG")
# qz_configure DIR CMAKE_ARGS...: configures DIR.
qz_configure() {
  local dir=$1; shift
  cmake -S "$_qz_root" -B "$_qz_root/$dir" "$@" >/dev/null
}
# qz_build DIR CMAKE_BUILD_ARGS...: builds in DIR. With CI=true a compiler
# warning fails the build. It is read from the output rather than made an error
# by -Werror, so CI compiles with the flags a developer's build has and takes
# its objects from the cache (which replays the warnings of a cached compile).
qz_build() {
  local dir=$1; shift
  if [ "${CI:-}" != "true" ]; then cmake --build "$_qz_root/$dir" "$@"; return; fi
  local log; log=$(mktemp)
  cmake --build "$_qz_root/$dir" "$@" 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]}
  if grep -q 'warning:' "$log"; then
    echo "CI: the build above has compiler warnings:" >&2; grep 'warning:' "$log" | sort -u >&2
    status=1
  fi
  rm -f "$log"
  return "$status"
}
