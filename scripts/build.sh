#!/usr/bin/env bash
# build.sh [--sanitize]: configures and builds into build/ (build-asan/ with sanitizers).
# With CI=true (CI's build) compiler warnings are errors.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build; flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ "${1:-}" = "--sanitize" ]; then dir=build-asan; flags=(-DCMAKE_BUILD_TYPE=Debug -DQZ_SANITIZE=ON); fi
if [ "${CI:-}" = "true" ]; then flags+=(-DQZ_WERROR=ON); else flags+=(-DQZ_WERROR=OFF); fi
cmake -S . -B "$dir" "${flags[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
