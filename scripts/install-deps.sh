#!/usr/bin/env bash
# Installs everything Lumenote needs to build, test and run on Debian 12.
# Idempotent: packages already present are left alone. apt-get only.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build pkg-config git
  # Qt 6: core, widgets, network, concurrent, multimedia, translations
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
  qt6-multimedia-dev gstreamer1.0-libav gstreamer1.0-plugins-good qt6-svg-dev
  libgl-dev
  # coroutines and the secret store
  qcoro-qt6-dev qtkeychain-qt6-dev
  # library store
  libsqlite3-dev sqlite3 libsimdjson-dev
  # media
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev libswscale-dev ffmpeg
  # text recognition
  libtesseract-dev libleptonica-dev tesseract-ocr-eng
  # speech engine
  libopenblas-dev zlib1g-dev nlohmann-json3-dev
  # tests
  libgtest-dev libgmock-dev
  clang  # the fuzz targets: libFuzzer and the sanitizers (cmake --preset fuzz)
  espeak-ng sox fonts-dejavu-core fontconfig
  chromium chromium-driver qt6-websockets-dev
  yt-dlp unzip
  strace
  dbus dbus-daemon gnome-keyring libsecret-tools
  xvfb xauth
  syncthing
  # desktop files: AppStream and desktop entry validators, manual page checker
  appstream desktop-file-utils groff-base
  python3
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#PACKAGES[@]} packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
