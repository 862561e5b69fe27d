#!/usr/bin/env bash
# Installs what is missing, builds and starts Chimecast. Without a display it runs
# on Qt's offscreen platform and keeps scheduling.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  export QT_QPA_PLATFORM=offscreen
fi
exec build/bin/chimecast "$@"
