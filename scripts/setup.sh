#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Bivara Scanner needs.
# Idempotent: packages already present are left alone, and apt is only asked when one is missing.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config ccache
  # Qt 6 and coroutines on its event loop
  qt6-base-dev libgl-dev qcoro-qt6-dev
  # scanners (SANE; sane-utils for the tests and benchmarks), PNG files, handwriting on the virtual bed
  libsane-dev sane-utils libpng-dev libjpeg-dev fonts-dancingscript
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # libjpeg-turbo's own in-memory encode, beside ours in the image benchmark
  libturbojpeg0-dev
  # rectangle detector
  libopencv-imgproc-dev
  # text recognition on backs (the handwriting font only renders test backs)
  libtesseract-dev tesseract-ocr-eng fonts-dkg-handwriting
  # the window's icons (Breeze, drawn through Qt's SVG plugins)
  breeze-icon-theme libqt6svg6
  # the application icon's sizes, drawn at build time; checks of the installed desktop files
  librsvg2-bin desktop-file-utils appstream
  # a real window without a display; colour emoji in status lines
  xvfb xauth fonts-noto-color-emoji
  # the whole-cycle test: the window driven over the accessibility bus and by X input events
  dbus at-spi2-core python3-pyatspi python3-pil xdotool
  # the window's symbols: a freedesktop icon theme and Qt's SVG icon and image plugins
  adwaita-icon-theme libqt6svg6
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
