#!/usr/bin/env bash
# Installs every Debian package the build, the program and the tests need.
# Quiet and idempotent: when everything is present it only checks and returns.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite
  libgtest-dev libgmock-dev googletest
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  gstreamer1.0-plugins-ugly gstreamer1.0-libav gstreamer1.0-alsa gstreamer1.0-tools
  libasound2-dev libasound2-plugins alsa-utils
  timgm6mb-soundfont fonts-wqy-microhei qt6-translations-l10n
  libmpg123-dev
  dpkg-dev lintian desktop-file-utils appstream systemd
  postgresql libqt6sql6-psql
)

# PostgreSQL's server refuses to run as root, and the CI runs as root: the tests start their
# private server as this unprivileged system user. Created once; nothing else uses it.
PGTEST_USER=chimecast-pgtest
ensure_pgtest_user() {
  if ! id -u "$PGTEST_USER" >/dev/null 2>&1; then
    ${SUDO:-} useradd --system --no-create-home --shell /usr/sbin/nologin "$PGTEST_USER"
  fi
}

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

if [ ${#missing[@]} -eq 0 ]; then
  ensure_pgtest_user
  exit 0
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
ensure_pgtest_user
