#!/usr/bin/env bash
# build.sh [--sanitize]: configures and builds into build/ (build-asan/ with sanitizers).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build; flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ "${1:-}" = "--sanitize" ]; then dir=build-asan; flags=(-DCMAKE_BUILD_TYPE=Debug -DQZ_SANITIZE=ON); fi
cmake -S . -B "$dir" "${flags[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
