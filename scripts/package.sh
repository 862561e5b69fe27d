#!/usr/bin/env bash
# Installs what is missing, builds everything and makes the Debian package
# build/chimecast_VERSION_amd64.deb (install it with: sudo apt install ./build/chimecast_*.deb).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh "$@"
cmake --build build --target package
ls build/chimecast_*_amd64.deb
