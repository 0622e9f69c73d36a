#!/usr/bin/env bash
# bench.sh [NAME [ARGS...]]: builds the benchmarks into build/bench/ (with the
# tests' fakes they use), then runs bench NAME with ARGS if one is named.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --tests
source scripts/ccache-env.sh
qz_configure build "${QZ_RELEASE[@]}" -DQZ_TESTS=ON -DQZ_BENCH=ON
qz_build build -j"$(nproc)" --target benches
[ $# -eq 0 ] && { find build/bench -maxdepth 2 -type f -executable -name 'bench_*' | sort; exit 0; }
name=$1; shift
exe=$(find build/bench -maxdepth 2 -type f -executable -name "$name" | head -n1)
[ -n "$exe" ] || { echo "bench.sh: no benchmark named $name" >&2; exit 2; }
exec "$exe" "$@"
