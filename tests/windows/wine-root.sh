#!/usr/bin/env bash
# Makes ROOT a Debian 13 root with Wine 10, for the Windows tests on a Debian
# 12 machine, whose Wine 8 gives up on a pseudo-terminal. Only what the tests
# need goes in: 64-bit Wine, Liberation Sans (Arial's widths) and the X11
# libraries Wine's X11 driver loads. Runs as root (debootstrap needs it); the
# root counts as present only once wine-complete is written into it, so an
# interrupted run starts afresh.
#
# Usage: wine-root.sh ROOT
set -euo pipefail
root=$1
[ -f "$root/wine-complete" ] && exit 0
[ "$(id -u)" -eq 0 ] || { echo "wine-root.sh: debootstrap needs root" >&2; exit 1; }
command -v debootstrap >/dev/null || { echo "wine-root.sh: needs debootstrap" >&2; exit 1; }

partial=$root.partial
rm -rf "$partial"
mkdir -p "$(dirname "$root")"
debootstrap --variant=minbase trixie "$partial" http://deb.debian.org/debian
chroot "$partial" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  wine wine64 fonts-liberation2 libxrender1 libxrandr2 libxi6 libxcursor1 libxfixes3 \
  libxinerama1 libxcomposite1
chroot "$partial" apt-get clean
chroot "$partial" dpkg-query -W -f 'wine ${Version}\n' wine >"$partial/wine-complete"
rm -rf "$root"
mv "$partial" "$root"
