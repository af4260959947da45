#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those that are missing.
set -euo pipefail
PKGS=(
  build-essential cmake pkg-config
  qt6-base-dev libgl-dev qt6-translations-l10n qt6-svg-dev
  libcurl4-openssl-dev zlib1g-dev
  libgtest-dev libgmock-dev googletest
  libbenchmark-dev
  fonts-liberation
  xvfb xauth
  at-spi2-core python3-pyatspi dbus
  python3
  clang libclang-rt-dev
  librsvg2-bin poppler-utils
  dpkg-dev file lintian desktop-file-utils appstream
)
# One query for all of them: this runs before every build.
installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${PKGS[@]}" 2>/dev/null | sed -n 's/ install ok installed$//p' || true)
missing=()
for p in "${PKGS[@]}"; do
  if ! grep -qx -- "$p" <<<"$installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
