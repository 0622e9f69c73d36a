#!/usr/bin/env bash
# fuzz.sh [SECONDS]: the number-text fuzz target under libFuzzer with ASan and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-60}
out=build-fuzz; mkdir -p "$out/corpus"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -Isrc \
  src/numeric/NumberText.cpp tests/numeric/number_text_fuzz.cpp -o "$out/number_text_fuzz"
printf '12.5' > "$out/corpus/a"; printf ' -3.5e+2 ' > "$out/corpus/b"; printf '.5' > "$out/corpus/c"
"$out/number_text_fuzz" -max_total_time="$secs" -max_len=64 "$out/corpus"
