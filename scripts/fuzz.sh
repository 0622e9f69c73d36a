#!/usr/bin/env bash
# fuzz.sh [SECONDS]: the number-text and SCPI parser fuzz targets under
# libFuzzer with ASan and UBSan, SECONDS each, side by side.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ccache-env.sh
secs=${1:-60}
out=build-fuzz; mkdir -p "$out/corpus" "$out/scpi/corpus"
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -Isrc)
ccache clang++ "${flags[@]}" src/numeric/NumberText.cpp tests/numeric/number_text_fuzz.cpp -o "$out/number_text_fuzz"
printf '12.5' > "$out/corpus/a"; printf ' -3.5e+2 ' > "$out/corpus/b"; printf '.5' > "$out/corpus/c"

# The parser needs no Qt: its plain C++ sources and the fake instrument.
ccache clang++ "${flags[@]}" -Itests/scpi src/scpi/{ErrorQueue,Parameter,CommandTree,Session,LineFramer}.cpp \
  tests/scpi/FakeInstrument.cpp tests/scpi/scpi_parser_fuzz.cpp -o "$out/scpi_parser_fuzz"

# Each fuzzer keeps one core busy. New inputs go to the build folder;
# tests/scpi/corpus is only read.
"$out/number_text_fuzz" -max_total_time="$secs" -max_len=64 "$out/corpus" &
numbers=$!
"$out/scpi_parser_fuzz" -max_total_time="$secs" -max_len=512 "$out/scpi/corpus" tests/scpi/corpus
wait "$numbers"
