#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Flintor need, and the locale the tests
# use, only what is missing, so running it again changes nothing. Sourced by tools/run and tools/test.
set -euo pipefail

FLINTOR_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-qpa-plugins libgl-dev libfontconfig-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libisal-dev
  fonts-liberation
  squashfs-tools
  locales
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

# A locale whose decimal separator is a comma: the tests set it to show that numbers read the same in any.
FLINTOR_TEST_LOCALE=de_DE.UTF-8

flintor_install_deps() {
  local missing locale_missing=false
  mapfile -t missing < <(flintor_missing_packages "${FLINTOR_PACKAGES[@]}" "$@")
  # locale -a lists it as de_DE.utf8; grep reads the whole list, so that locale never meets a closed pipe.
  if ! locale -a 2>/dev/null | grep -x 'de_DE\.utf8' >/dev/null; then
    locale_missing=true
  fi
  if [ "${#missing[@]}" -eq 0 ] && ! "$locale_missing"; then
    return 0
  fi
  if [ "$(id -u)" -ne 0 ]; then
    if [ "${#missing[@]}" -gt 0 ]; then
      echo "flintor: these Debian packages are missing: ${missing[*]}" >&2
    fi
    if "$locale_missing"; then
      echo "flintor: the locale $FLINTOR_TEST_LOCALE is missing (localedef -i de_DE -f UTF-8 makes it)" >&2
    fi
    echo "flintor: run this command as root (or install them with apt-get) and try again." >&2
    exit 1
  fi
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "flintor: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
  if "$locale_missing"; then
    echo "flintor: creating the locale $FLINTOR_TEST_LOCALE"
    localedef -i de_DE -f UTF-8 "$FLINTOR_TEST_LOCALE"
  fi
}
