#!/usr/bin/env bash
# The portable zip as a user gets it: unpacked into a folder of its own and
# run from there, with no search path for DLLs, nothing else installed.
#
# Usage: zip.sh WINE_SH ZIP VERSION
set -euo pipefail
wine=$1
zip=$2
version=$3
[ -f "$zip" ] || { echo "FAIL: no $zip; cpack makes it (./build.sh windows)"; exit 1; }
unpacked=$(mktemp -d "$WINEPREFIX/drive_c/zip.XXXXXX")
trap 'rm -rf "$unpacked"' EXIT
(cd "$unpacked" && cmake -E tar xf "$zip")
top=("$unpacked"/*)
failed=0
for file in velumet-display.exe velumet-measure.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll \
  Qt6SerialPort.dll platforms/qwindows.dll styles/qwindowsvistastyle.dll libstdc++-6.dll \
  libgcc_s_seh-1.dll libwinpthread-1.dll LICENSE.txt licenses/qtbase licenses/qtserialport \
  licenses/mingw-w64-runtime/gcc-runtime.txt; do
  [ -e "${top[0]}/$file" ] || { echo "FAIL: the zip has no $file"; failed=1; }
done
# The console program prints, the window starts far enough to answer.
for program in velumet-measure velumet-display; do
  out=$("$wine" "${top[0]}/$program.exe" --version | tr -d '\r' | head -n 1) || true
  if [ "$out" = "$program $version" ]; then
    echo "PASS: $program.exe from the zip says '$out'"
  else
    echo "FAIL: $program.exe from the zip says '$out'"
    failed=1
  fi
done
exit "$failed"
