#!/usr/bin/env bash
# Builds Qt for Windows (qtbase and qtserialport 6.4.2) with MinGW-w64 into a
# cache outside any build tree: PREFIX. The build takes most of an hour, so it
# is done once; an interrupted build resumes where it stopped, and PREFIX
# counts as present only once qt-complete is written into it. The licence
# texts are a step of their own (licenses/complete), so that a cache built
# before they were all gathered gets them without a rebuild.
#
# Usage: build-qt.sh PREFIX THIRD_PARTY_DIR
set -euo pipefail

prefix=$1
third_party=$2
here=$(cd "$(dirname "$0")" && pwd)
qt_version=6.4.2
qtbase_package=qt6-base=6.4.2+dfsg-10
serialport_tarball=qtserialport-everywhere-src-$qt_version.tar.xz

work=$prefix.work
mkdir -p "$prefix" "$work"
prefix=$(cd "$prefix" && pwd)
work=$(cd "$work" && pwd)

# Qt records the toolchain file's path in what it installs, so the file must
# live as long as the cache, not in a checkout that may go away.
toolchain=$prefix/mingw-w64-x86_64.cmake
cp "$here/mingw-w64-x86_64.cmake" "$toolchain"

(cd "$third_party" && sha256sum -c --quiet SHA256SUMS)

# qtbase from Debian's source package. apt gets a deb-src entry and lists of
# its own for this one call, so the system's apt configuration is untouched.
fetch_qtbase() {
  [ -d "$work/qtbase" ] && return 0
  apt_dir=$work/apt
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/parts"
  echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main" \
    >"$apt_dir/sources.list"
  apt_options=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=$apt_dir/parts"
               -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
               -o "APT::Sandbox::User=root")
  apt-get "${apt_options[@]}" update -qq
  (cd "$work" && apt-get "${apt_options[@]}" source --download-only -qq "$qtbase_package")
  # dpkg-source applies Debian's patches, security fixes among them.
  (cd "$work" && dpkg-source -x --no-check ./qt6-base_*.dsc qtbase.tmp >/dev/null && mv qtbase.tmp qtbase)
}

unpack_qtserialport() {
  rm -rf "$work/qtserialport"
  mkdir -p "$work/qtserialport"
  tar -xJf "$third_party/$serialport_tarball" -C "$work/qtserialport" --strip-components=1
}

# Every feature switch is settled here: changing one later rebuilds most of
# Qt Gui. What is off, we do not use. Debian's source lacks wintab, hence no
# tablet events; with OpenGL off, dynamic GL must go too, or the Windows
# platform plugin still reaches for it. Bundled third-party libraries only:
# the MinGW sysroot has none of them.
qtbase_features=(
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_printsupport=OFF
  -DFEATURE_opengl=OFF -DFEATURE_dynamicgl=OFF -DFEATURE_vulkan=OFF
  -DFEATURE_dbus=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF
  -DFEATURE_tabletevent=OFF -DFEATURE_pkg_config=OFF
  -DFEATURE_zstd=OFF -DFEATURE_icu=OFF -DFEATURE_glib=OFF
  -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF
  -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF
  -DFEATURE_system_pcre2=OFF -DFEATURE_system_doubleconversion=OFF
)
cross=(
  -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$prefix"
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
  -DQT_QMAKE_TARGET_MKSPEC=win32-g++
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
)
if [ ! -f "$prefix/qt-complete" ] && [ ! -f "$work/qtbase-installed" ]; then
  fetch_qtbase
  cmake -S "$work/qtbase" -B "$work/qtbase-build" "${cross[@]}" "${qtbase_features[@]}"
  cmake --build "$work/qtbase-build"
  cmake --install "$work/qtbase-build"
  touch "$work/qtbase-installed"
fi

if [ ! -f "$prefix/qt-complete" ] && [ ! -f "$work/qtserialport-installed" ]; then
  unpack_qtserialport
  "$prefix/bin/qt-cmake" -S "$work/qtserialport" -B "$work/qtserialport-build" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
  cmake --build "$work/qtserialport-build"
  cmake --install "$work/qtserialport-build"
  touch "$work/qtserialport-installed"
fi

[ -f "$prefix/qt-complete" ] ||
  echo "Qt $qt_version for Windows, built by $(basename "$0")" >"$prefix/qt-complete"

# The licence texts go with every copy of the DLLs: Qt's own, and those of
# the third-party code built into them (FreeType, HarfBuzz, libpng, PCRE2,
# zlib and the rest), each beside the attribution that names it.
if [ ! -f "$prefix/licenses/complete" ]; then
  fetch_qtbase
  [ -d "$work/qtserialport" ] || unpack_qtserialport
  rm -rf "$prefix/licenses"
  mkdir -p "$prefix/licenses"
  cp -r "$work/qtbase/LICENSES" "$prefix/licenses/qtbase"
  cp -r "$work/qtserialport/LICENSES" "$prefix/licenses/qtserialport"
  (cd "$work/qtbase" && find src -name qt_attribution.json -printf '%h\n') | sort -u |
    while read -r part; do
      mkdir -p "$prefix/licenses/qtbase-parts/$part"
      find "$work/qtbase/$part" -maxdepth 1 -type f \
        \( -name qt_attribution.json -o -iname 'LICENSE*' -o -iname 'COPYING*' -o -iname '*.LICENSE' \) \
        -exec cp {} "$prefix/licenses/qtbase-parts/$part/" \;
    done
  # FreeType keeps its licence among its documents.
  cp "$work/qtbase/src/3rdparty/freetype/docs/FTL.TXT" "$prefix/licenses/qtbase-parts/src/3rdparty/freetype/"
  touch "$prefix/licenses/complete"
fi

rm -rf "$work"
