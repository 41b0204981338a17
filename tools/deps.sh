#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Flintor need, only those that are
# missing, so running it again changes nothing. Sourced by tools/run and tools/test.
set -euo pipefail

FLINTOR_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-qpa-plugins libgl-dev libfontconfig-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libisal-dev
  fonts-liberation
  squashfs-tools
  libasio-dev
  xvfb xdotool xclip x11-utils x11-apps imagemagick
  at-spi2-core dbus-x11 python3-pyatspi
  desktop-file-utils appstream
  help2man lintian
)

# What the hardening runs of .ci/run add: clang with libFuzzer for fuzz/
FLINTOR_HARDENING_PACKAGES=(clang-14 libclang-rt-14-dev)

# What the Windows build of flintor-calc adds: the MinGW-w64 cross compiler, GoogleTest's sources and Wine
FLINTOR_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix googletest wine64)

flintor_missing_packages() {
  local pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      printf '%s\n' "$pkg"
    fi
  done
}

flintor_install_deps() {
  local missing
  mapfile -t missing < <(flintor_missing_packages "${FLINTOR_PACKAGES[@]}" "$@")
  if [ "${#missing[@]}" -eq 0 ]; then
    return 0
  fi
  if [ "$(id -u)" -ne 0 ]; then
    echo "flintor: these Debian packages are missing: ${missing[*]}" >&2
    echo "flintor: run this command as root (or install them with apt-get) and try again." >&2
    exit 1
  fi
  echo "flintor: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
