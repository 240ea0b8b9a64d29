#!/usr/bin/env bash
# Installs every Debian package Pelu needs to build, run, test and benchmark.
# Idempotent: does nothing when everything is present.
set -euo pipefail

packages=(
  # toolchain
  cmake ninja-build g++ pkg-config make
  # Qt 6
  qt6-base-dev qt6-base-dev-tools qt6-l10n-tools qt6-tools-dev-tools
  qt6-image-formats-plugins qt6-qpa-plugins libgl-dev
  # native Wayland clients; the X11 connection that brings a window forward
  qt6-wayland libxcb1-dev
  # Qt's own texts (file dialog, message boxes) in the user's language
  qt6-translations-l10n
  # image libraries
  libheif-dev libheif1 libraw-dev libexiv2-dev libglib2.0-dev libtiff-dev
  libjpeg-dev libpng-dev exiv2
  # JPEG XL and AVIF sequences: headers to build against, the libraries opened at run time
  libjxl-dev libjxl0.7 libavif-dev libavif15 libdav1d6
  # display profiles made of tables (opened at run time; the tests make profiles with it)
  liblcms2-dev liblcms2-2
  # fixtures and desktop helpers for tests
  libheif-examples libavif-bin desktop-file-utils shared-mime-info dbus
  # packaging checks, `make deb` (dpkg-shlibdeps) and `make icons`
  appstream librsvg2-bin dpkg-dev file
  # window tests, on X11 and under a nested Wayland compositor
  xvfb xauth xdotool x11-utils x11-apps imagemagick weston
  # another program pasting from the clipboard; volumes of their own for the Trash tests
  xclip e2fsprogs
  # benchmark references (djxl), and cjxl to make the benchmark's JPEG XL
  libjpeg-turbo-progs libvips-tools libturbojpeg0-dev libjxl-tools
  # fonts so the window has text to draw
  fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
