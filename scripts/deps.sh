#!/usr/bin/env bash
# Installs the Debian packages the build needs and says which ones it
# installs; quiet when all of them are there.
#   scripts/deps.sh         what the default build needs (compiler, CMake,
#                           Ninja, GoogleTest, Google Benchmark, Qt 6
#                           widgets for kestrix; CLI11, nlohmann-json and
#                           OpenSSL's libcrypto for cfctool; pytest, venv,
#                           setuptools and wheel for the Python package)
#   scripts/deps.sh style   clang-format, which checks the layout of the
#                           sources in CI
#   scripts/deps.sh fuzz    that and clang with its fuzzer runtime, which
#                           only the fuzz preset uses (about 240 MB more)
#   scripts/deps.sh windows that and what the windows preset and its tests
#                           use: the MinGW-w64 cross compilers (posix
#                           threads), GoogleTest's sources, Wine (64-bit)
#                           with its own fonts, Xvfb for kestrix.exe's
#                           windows, and NSIS for the installer
#   scripts/deps.sh package that and lintian, Debian's own check of the
#                           packages scripts/package-test.sh builds
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev
  libcli11-dev nlohmann-json3-dev libssl-dev
  python3-pytest python3-venv python3-setuptools python3-wheel
)
case "${1:-}" in
  "") ;;
  style) packages=(clang-format git) ;;
  fuzz) packages+=(clang libclang-rt-dev) ;;
  windows)
    packages+=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix googletest wine wine64 xvfb
      fonts-wine nsis unzip)
    ;;
  package) packages+=(lintian file) ;;
  *) echo "usage: $0 [fuzz|windows|package]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
echo "Installing ${#missing[@]} package(s) and what they depend on: ${missing[*]}" >&2
$SUDO apt-get update -q >&2
# apt's own lines name every package it unpacks, so a slow download shows.
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
