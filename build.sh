#!/usr/bin/env bash
# The one entry point: installs what the build needs from Debian, then drives
# CMake. A fresh Debian has bash but neither make nor cmake, hence a script.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build_dir=${BUILD_DIR:-$here/build}

# Debian packages each command needs.
packages_build=(cmake ninja-build g++ qt6-base-dev qt6-serialport-dev qt6-svg-dev fonts-liberation2)
packages_test=(xvfb xauth)
packages_package=(dpkg-dev file)

usage() {
  cat <<TXT
Usage: ./build.sh COMMAND

  build   install what is missing, then build everything
  test    build, then run every test (CTest)
  demo    build, then open the window
  run     build, then open the window alone, for a real box
  screenshot  render the window with a measurement to docs/window.png
  package     build a Debian package (.deb) in the build directory
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
    "$build_dir/src/velumet-display"
    ;;
  run)
    install_missing "${packages_build[@]}"
    configure_and_build
    exec "$build_dir/src/velumet-display"
    ;;
  screenshot)
    install_missing "${packages_build[@]}"
    configure_and_build -DBUILD_TESTING=ON
    mkdir -p "$here/docs"
    QT_QPA_PLATFORM=offscreen "$build_dir/tests/velumet-windowshot" "$here/docs/window.png"
    echo "build.sh: wrote docs/window.png"
    ;;
  package)
    install_missing "${packages_build[@]}" "${packages_package[@]}"
    configure_and_build
    (cd "$build_dir" && cpack -G DEB)
    ;;
  -h|--help|help)
    usage
    ;;
  *)
    usage >&2
    exit 2
    ;;
esac
