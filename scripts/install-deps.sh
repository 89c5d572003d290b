#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Vandro
# need, skipping those already present. Uses sudo when not run as root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev libgl-dev
  libsqlite3-dev sqlite3 libsodium-dev libpq-dev libicu-dev postgresql
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  xvfb xauth xdotool openbox imagemagick fonts-dejavu-core x11-utils xclip
  desktop-file-utils appstream man-db groff-base dpkg-dev lintian
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
