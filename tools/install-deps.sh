#!/usr/bin/env bash
# Installs the Debian packages the build needs. As root it runs apt-get itself; otherwise it prints
# the one command to run and fails, so that `make` stops before a build that cannot succeed.
set -euo pipefail
# clang with its runtimes (libclang-rt-14-dev: AddressSanitizer, UndefinedBehaviorSanitizer and
# libFuzzer) makes the sanitizer build and the fuzz targets; llvm brings llvm-symbolizer, which
# gives their reports file and line. libqt6svg6 draws the program's SVG icons. dbus brings the
# dbus-daemon on which the reminder agent's tests run a session bus of their own (Qt D-Bus comes
# with qt6-base-dev).
packages=(cmake ninja-build g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          libssl-dev libsqlite3-dev clang libclang-rt-14-dev llvm qt6-base-dev fonts-liberation
          xvfb xauth poppler-utils qt6-svg-dev libqt6svg6 desktop-file-utils appstream dbus)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -eq 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "Missing Debian packages. Run:" >&2
  echo "  sudo apt-get install ${missing[*]}" >&2
  exit 1
fi
