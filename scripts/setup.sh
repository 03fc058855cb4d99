#!/usr/bin/env bash
# Installs every build and test dependency (Debian packages), then
# configures and builds the project into ./build.
# Extra CMake arguments may be passed in V36_CMAKE_ARGS.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  clang libclang-rt-14-dev clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  libhidapi-dev libudev-dev libcli11-dev
  qt6-base-dev qt6-base-dev-tools libqt6svg6-dev qt6-qpa-plugins
  nlohmann-json3-dev
  qt6-httpserver-dev qt6-websockets-dev libqrencode-dev
  libmosquitto-dev mosquitto mosquitto-clients
  chromium chromium-driver python3-selenium
  fonts-noto-cjk qt6-translations-l10n
  file dpkg-dev desktop-file-utils appstream shared-mime-info libxml2-utils groff-base
  g++-mingw-w64-x86-64-posix googletest wine64 zip
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

BUILD_DIR=${V36_BUILD_DIR:-build}
# shellcheck disable=SC2086
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${V36_CMAKE_ARGS:-}
cmake --build "$BUILD_DIR"
