#!/usr/bin/env bash
# Installs what is missing, builds everything (warnings are errors) and runs the whole
# test suite through ctest. Tests never touch a sound card or the power state.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh -DCHIMECAST_WERROR=ON
export CHIMECAST_POWEROFF=dry-run
export SONVOX_ALSA_DEVICE="${SONVOX_ALSA_DEVICE:-null}"
export QT_QPA_PLATFORM=offscreen
cd build
ctest --output-on-failure -j"$(nproc)" "$@"
