#!/usr/bin/env bash
# build.sh: configures build/ and builds the program alone (./build/qz4471):
# no test, no benchmark. scripts/test.sh builds those.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ccache-env.sh
qz_configure build "${QZ_RELEASE[@]}"
qz_build build -j"$(nproc)" --target qz4471
