#!/usr/bin/env bash
# Installs what is missing, builds everything (warnings are errors) and runs the whole
# test suite through ctest. Then builds the audio library and its tests a second time with
# AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/) and runs them, the fuzz
# corpora included. Tests never touch a sound card or the power state.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh -DCHIMECAST_WERROR=ON
export CHIMECAST_POWEROFF=dry-run
export SONVOX_ALSA_DEVICE="${SONVOX_ALSA_DEVICE:-null}"
export QT_QPA_PLATFORM=offscreen
(cd build && ctest --output-on-failure -j"$(nproc)" "$@")

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCHIMECAST_WERROR=ON \
  -DCHIMECAST_SANITIZE=ON -DCHIMECAST_BUILD_PROGRAM=OFF -DCHIMECAST_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
cd build-asan
ctest --output-on-failure -j"$(nproc)" "$@"
