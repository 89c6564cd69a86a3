#!/usr/bin/env bash
# The one entry point: installs what the build needs from Debian, then drives
# CMake. A fresh Debian has bash but neither make nor cmake, hence a script.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build_dir=${BUILD_DIR:-$here/build}

# Debian packages each command needs.
packages_build=(cmake ninja-build g++ qt6-base-dev qt6-serialport-dev fonts-liberation2)
packages_test=(xvfb xauth)

usage() {
  cat <<TXT
Usage: ./build.sh COMMAND

  build   install what is missing, then build everything
  test    build, then run every test (CTest)
  demo    build, then open the window beside a simulated measuring box
TXT
}

# Installs the packages that are not installed yet, as root directly or
# through sudo, and says which.
install_missing() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "build.sh: installing ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

configure_and_build() {
  cmake -S "$here" -B "$build_dir" -G Ninja "$@"
  cmake --build "$build_dir"
}

cmd=${1:-}
case "$cmd" in
  build)
    install_missing "${packages_build[@]}"
    configure_and_build
    ;;
  test)
    install_missing "${packages_build[@]}" "${packages_test[@]}"
    configure_and_build
    ctest --test-dir "$build_dir" --output-on-failure
    ;;
  demo)
    install_missing "${packages_build[@]}"
    configure_and_build
    # The simulated box says which port number to type; it goes with the window.
    "$build_dir/tools/box/velumet-box" &
    box_pid=$!
    trap 'kill "$box_pid" 2>/dev/null; wait "$box_pid" 2>/dev/null || true' EXIT
    "$build_dir/src/velumet-display"
    ;;
  -h|--help|help)
    usage
    ;;
  *)
    usage >&2
    exit 2
    ;;
esac
