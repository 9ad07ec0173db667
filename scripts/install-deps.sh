#!/usr/bin/env bash
# Installs, with apt-get, the Debian 12 packages Velquor needs that are missing.
# A second run finds nothing missing and returns at once.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libpulse-dev libmp3lame-dev libvorbis-dev libogg-dev libsndfile1-dev
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev libtag1-dev
  libflac-dev libopusenc-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  pulseaudio pulseaudio-utils sox ffmpeg
  fonts-dejavu-core
)
# --test: what the suite checks with besides the build; --package: what
# scripts/package.sh packs and checks with.
case "${1:-}" in
  --test) packages+=(xvfb xauth imagemagick cppcheck desktop-file-utils appstream kid3-cli python3-mutagen vorbis-tools lame mpg123 dbus-daemon faketime flac opus-tools mp3val stress-ng
    pipewire pipewire-pulse wireplumber dbus clang libclang-rt-14-dev libfuzzer-14-dev at-spi2-core python3-pyatspi xdotool
    playerctl trayer x11-utils) ;;
  --package) packages+=(dpkg-dev file desktop-file-utils appstream) ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
