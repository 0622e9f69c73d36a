#!/usr/bin/env bash
# tsan.sh: the threads read by ThreadSanitizer, with no suppressions: the
# control, sweep, keying and SCPI tests, then the program under load (two
# SCPI clients, 1 ms sweeps, counted keyings, Stop, *RST and ABORt between)
# headless, then with its windows under Xvfb while the Printer Port menu is
# chosen during a sweep and a keying. Builds into build-tsan/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --tests
source scripts/ccache-env.sh
qz_configure build-tsan "${QZ_RELEASE[@]}" -DQZ_TESTS=ON -DQZ_BENCH=OFF -DQZ_TSAN=ON
tests=(control_test sweep_engine_test sweep_timer_test sweep_run_test scpi_server_test scpi_chip_instrument_test
       scpi_script_test)
cmake --build build-tsan -j"$(nproc)" --target qz4471 "${tests[@]}"
# No suppressions. Debian's Qt is not instrumented: its own thread pool's
# allocations, freed on another thread after a futex hand-off, would be
# reported from inside Qt, so accesses made by interceptors called from
# uninstrumented libraries are left out (every access of ours is still read).
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:exitcode=66:ignore_noninstrumented_modules=1
export QT_QPA_PLATFORM=offscreen
pattern=$(IFS='|'; echo "^(${tests[*]})\$")
ctest --test-dir build-tsan --output-on-failure -j"$(nproc)" -R "$pattern"
python3 scripts/tsan_load.py build-tsan/qz4471 --seconds 20
unset QT_QPA_PLATFORM
xvfb-run -a -s '-screen 0 1366x768x24' sh -c \
  'openbox >/dev/null 2>&1 & QT_QPA_PLATFORM=xcb python3 scripts/tsan_load.py build-tsan/qz4471 --seconds 12 --windows'
