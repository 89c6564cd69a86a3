#!/usr/bin/env bash
# The one entry point: installs what the build needs from Debian, then drives
# CMake. A fresh Debian has bash but neither make nor cmake, hence a script.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build_dir=${BUILD_DIR:-$here/build}

# Debian packages each command needs.
packages_build=(cmake ninja-build g++ qt6-base-dev qt6-serialport-dev qt6-svg-dev fonts-liberation2 help2man)
packages_test=(xvfb xauth libbenchmark-dev appstream desktop-file-utils)
packages_bench=(libbenchmark-dev hyperfine)
packages_fuzz=(clang libclang-rt-14-dev)
packages_package=(dpkg-dev file lintian)

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
              with its context menu open to docs/window-menu.png
  package     build a Debian package (.deb) in the build directory and check
              it with lintian
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
    install_missing "${packages_build[@]}"
    configure_and_build "$build_dir" -DBUILD_TESTING=ON
    mkdir -p "$here/docs"
    QT_QPA_PLATFORM=offscreen "$build_dir/tests/velumet-windowshot" "$here/docs/window.png" \
      "$here/docs/window-menu.png"
    echo "build.sh: wrote docs/window.png and docs/window-menu.png"
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
  -h|--help|help)
    usage
    ;;
  *)
    usage >&2
    exit 2
    ;;
esac
