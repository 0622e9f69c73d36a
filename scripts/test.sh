#!/usr/bin/env bash
# test.sh [--sanitize]: installs what is missing, builds the program and its
# tests into build/ (build-asan/ under ASan and UBSan), runs every test headless.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --tests
source scripts/ccache-env.sh
dir=build; flags=("${QZ_RELEASE[@]}")
if [ "${1:-}" = "--sanitize" ]; then
  # Only what runs under the sanitizers: no benchmark, no real-X suite. The
  # tests compile with the plain build's flags (see src/CMakeLists.txt).
  dir=build-asan; flags=("${QZ_RELEASE[@]}" -DQZ_SANITIZE=ON -DQZ_BENCH=OFF)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
fi
qz_configure "$dir" "${flags[@]}" -DQZ_TESTS=ON
qz_build "$dir" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)"
