#!/usr/bin/env bash
# Installs the Debian packages the build needs, only when some are missing; with --validators
# also the libraries pluginval needs to run.
set -euo pipefail
packages=(
  cmake ninja-build g++ python3 locales
  g++-mingw-w64-x86-64-posix
  wine wine64
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev juce-modules-source-data
  chromium-headless-shell fonts-dejavu-core  # the real-browser tests and the page screenshots
  clang libclang-rt-14-dev  # the fuzz targets (libFuzzer)
  clang-format  # scripts/check-format.sh
)
if [ "${1:-}" = "--validators" ]; then
  packages+=(libflac12 libvorbisenc2 libvorbisfile3 libogg0 libpng16-16 libjpeg62-turbo libasound2 libfreetype6)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# A comma-decimal locale, so that the tests can show that no number text follows the locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "warning: no comma-decimal locale; its tests will skip"
fi
