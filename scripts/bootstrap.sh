#!/usr/bin/env bash
# Installs what Keldarn needs to build, test and run on Debian 12, when it is missing.
# Runs as root (or through sudo when that is available); does nothing when all is there.
set -euo pipefail

packages=(
  # toolchain
  g++ cmake ninja-build pkg-config
  # libraries
  qt6-base-dev qt6-svg-dev libgl-dev libgdal-dev libgeographiclib-dev libexpat1-dev libzip-dev libdxflib-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth
  # the end-to-end test (tests/e2e): a window manager, X input and screenshots
  openbox xdotool imagemagick
  # fuzzing (scripts/fuzz.sh): clang with its libFuzzer and sanitizer runtimes
  clang libclang-rt-14-dev
  # independent oracles used by the tests
  proj-bin gdal-bin python3 python3-gdal python3-numpy python3-ezdxf
  # Chinese texts on screen: a CJK font and Qt's own translations
  fonts-wqy-microhei qt6-translations-l10n
  # the English interface (lupdate, lrelease) and the Debian package with its checks
  qt6-l10n-tools qt6-tools-dev dpkg-dev file lintian desktop-file-utils appstream
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Please run as root to install: ${missing[*]}" >&2; exit 1; }
  as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
