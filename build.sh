#!/usr/bin/env bash
# The one entry point: installs what the build needs from Debian, then drives
# CMake. A fresh Debian has bash but neither make nor cmake, hence a script.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build_dir=${BUILD_DIR:-$here/build}

# Debian packages each command needs.
packages_build=(cmake ninja-build g++ qt6-base-dev qt6-serialport-dev qt6-svg-dev fonts-liberation2 help2man)
packages_test=(xvfb xauth libbenchmark-dev appstream desktop-file-utils poppler-utils)
packages_bench=(libbenchmark-dev hyperfine)
packages_fuzz=(clang libclang-rt-14-dev)
packages_package=(dpkg-dev file lintian)
# The Windows build: the cross compiler, dpkg-source for Qt's source, the
# installer's maker, the icon's, and for the tests Xvfb and debootstrap (for
# a Wine new enough, see below).
packages_windows=(g++-mingw-w64-x86-64-posix dpkg-dev nsis icoutils debootstrap xvfb xauth)

# Qt for Windows is built once (most of an hour) into a cache outside any
# build tree, named after the Qt version build-qt.sh builds and the compiler.
windows_qt_version=6.4.2
windows_cache=${VELUMET_CACHE:-$HOME/.cache/velumet}
windows_third_party=${VELUMET_THIRD_PARTY:-$here/../shared/third_party}
# Wine 10 or later serves a pseudo-terminal as a COM port; Debian 12's Wine 8
# does not, so the tests then run in a Debian 13 root made once (some minutes).
windows_wine_root=$windows_cache/wine10-debian13

usage() {
  cat <<TXT
Usage: ./build.sh COMMAND

  build   install what is missing, then build everything
  test    build, then run every test (CTest), once plainly and once under
          AddressSanitizer and UndefinedBehaviorSanitizer
  bench   run the benchmarks and print their figures beside their floors
  fuzz    fuzz the receive path with libFuzzer for FUZZ_SECONDS (default 300)
  demo    build, then open the window beside a simulated measuring box
  run     build, then open the window alone, for a real box
  screenshot  render the window with a measurement to docs/window.png, and
              with its context menu open to docs/window-menu.png; the analysis
              window to docs/analysis.png and its report to docs/report.png
  package     build a Debian package (.deb) in the build directory and check
              it with lintian
  windows     cross-build for Windows into build-windows: the portable zip and
              the installer, then their tests under Wine (builds Qt for
              Windows first if it is not cached yet)
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

# configure_and_build DIR [CMAKE ARGS...]
configure_and_build() {
  local dir=$1
  shift
  cmake -S "$here" -B "$dir" -G Ninja "$@"
  cmake --build "$dir"
}

# Sanitizer reports fail the run; the caches that system libraries keep for
# the life of the process (tests/lsan.supp) are not ours to free.
sanitizer_env() {
  export ASAN_OPTIONS=detect_leaks=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  export LSAN_OPTIONS="suppressions=$here/tests/lsan.supp:print_suppressions=0"
}

# Where Qt for Windows is cached for the compiler installed now.
windows_qt_dir() {
  local compiler
  compiler=$(x86_64-w64-mingw32-g++-posix -dumpversion 2>/dev/null || echo none)
  echo "$windows_cache/qt-$windows_qt_version-x86_64-w64-mingw32-gcc${compiler%%-*}"
}

# The Wine the Windows tests run under: nothing to do where the system's is
# new enough, else the cached Debian 13 root, made on first use.
windows_wine() {
  local version
  version=$(wine --version 2>/dev/null || true)
  version=${version#wine-}
  if [ "${version%%.*}" -ge 10 ] 2>/dev/null; then
    wine_root=
  else
    wine_root=$windows_wine_root
    "$here/tests/windows/wine-root.sh" "$wine_root"
  fi
}

# Cross-builds with the cached Qt, writes the zip and the installer, runs the
# Windows tests under Wine. The native build gives the tests velumet-box and
# the pseudo-terminal shim.
windows_leg() {
  install_missing "${packages_build[@]}" "${packages_windows[@]}"
  cmake -S "$here" -B "$build_dir" -G Ninja
  cmake --build "$build_dir" --target velumet-box velumet_ptymodem
  windows_wine
  local dir=$here/build-windows windows_qt
  windows_qt=$(windows_qt_dir)
  cmake -S "$here" -B "$dir" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$windows_qt/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$here/packaging/windows/mingw-w64-x86_64.cmake" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$here/tests/windows/wine.sh" \
    -DVELUMET_WINE_ROOT="$wine_root" -DVELUMET_NATIVE_BUILD_DIR="$build_dir"
  cmake --build "$dir"
  (cd "$dir" && cpack -G "NSIS;ZIP")
  echo "build.sh: the portable zip: $(ls "$dir"/velumet-display-*-windows-x64.zip)"
  echo "build.sh: the installer:    $(ls "$dir"/velumet-display-*-windows-x64.exe)"
  ctest --test-dir "$dir" --output-on-failure
}

cmd=${1:-}
case "$cmd" in
  build)
    install_missing "${packages_build[@]}"
    configure_and_build "$build_dir"
    ;;
  test)
    install_missing "${packages_build[@]}" "${packages_test[@]}"
    configure_and_build "$build_dir"
    ctest --test-dir "$build_dir" --output-on-failure
    echo "build.sh: the whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer"
    configure_and_build "$build_dir-sanitize" -DVELUMET_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
    (sanitizer_env && ctest --test-dir "$build_dir-sanitize" --output-on-failure)
    if [ -f "$(windows_qt_dir)/qt-complete" ]; then
      echo "build.sh: the Windows build and its tests under Wine"
      windows_leg
    else
      echo "build.sh: no Windows leg: Qt for Windows is not cached; ./build.sh windows builds it once (about an hour)"
    fi
    ;;
  bench)
    install_missing "${packages_build[@]}" "${packages_bench[@]}"
    configure_and_build "$build_dir-bench" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
    "$here/bench/run.sh" "$build_dir-bench"
    ;;
  fuzz)
    install_missing "${packages_build[@]}" "${packages_fuzz[@]}"
    CC=clang CXX=clang++ configure_and_build "$build_dir-fuzz" -DVELUMET_FUZZ=ON
    # New inputs go to the build tree; the committed corpus only seeds.
    mkdir -p "$build_dir-fuzz/corpus"
    (sanitizer_env && "$build_dir-fuzz/fuzz/fuzz_receive" \
      -max_total_time="${FUZZ_SECONDS:-300}" -artifact_prefix="$build_dir-fuzz/" \
      "$build_dir-fuzz/corpus" "$here/fuzz/corpus")
    ;;
  demo)
    install_missing "${packages_build[@]}"
    configure_and_build "$build_dir"
    # The simulated box says which port number to type; it goes with the window.
    "$build_dir/tools/box/velumet-box" &
    box_pid=$!
    trap 'kill "$box_pid" 2>/dev/null; wait "$box_pid" 2>/dev/null || true' EXIT
    "$build_dir/src/velumet-display"
    ;;
  run)
    install_missing "${packages_build[@]}"
    configure_and_build "$build_dir"
    exec "$build_dir/src/velumet-display"
    ;;
  screenshot)
    install_missing "${packages_build[@]}" poppler-utils
    configure_and_build "$build_dir" -DBUILD_TESTING=ON
    mkdir -p "$here/docs"
    report_dir=$(mktemp -d)
    trap 'rm -rf "$report_dir"' EXIT
    QT_QPA_PLATFORM=offscreen "$build_dir/tests/velumet-windowshot" "$here/docs/window.png" \
      "$here/docs/window-menu.png" "$here/docs/analysis.png" "$report_dir/report.pdf"
    # The report's one page as a picture, at about the size a screen shows it.
    pdftoppm -r 90 -png -singlefile "$report_dir/report.pdf" "$here/docs/report"
    echo "build.sh: wrote docs/window.png, docs/window-menu.png, docs/analysis.png and docs/report.png"
    ;;
  package)
    install_missing "${packages_build[@]}" "${packages_package[@]}"
    configure_and_build "$build_dir"
    (cd "$build_dir" && cpack -G DEB)
    # Any error or warning is a fault of ours; info and pedantic tags are not.
    deb=$(ls -t "$build_dir"/velumet-display_*.deb | head -n 1)
    lintian --fail-on error,warning "$deb"
    echo "build.sh: $deb passed lintian"
    ;;
  windows)
    install_missing "${packages_build[@]}" "${packages_windows[@]}"
    # A cache made before all licence texts were gathered only gets those.
    if [ ! -f "$(windows_qt_dir)/qt-complete" ] || [ ! -f "$(windows_qt_dir)/licenses/complete" ]; then
      [ -f "$(windows_qt_dir)/qt-complete" ] ||
        echo "build.sh: building Qt $windows_qt_version for Windows into $(windows_qt_dir) (once; most of an hour)"
      "$here/packaging/windows/build-qt.sh" "$(windows_qt_dir)" "$windows_third_party"
    fi
    windows_leg
    ;;
  -h|--help|help)
    usage
    ;;
  *)
    usage >&2
    exit 2
    ;;
esac
