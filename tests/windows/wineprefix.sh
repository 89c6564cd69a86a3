#!/usr/bin/env bash
# Makes the tests' Wine prefix (WINEPREFIX) ready, once per build tree: a
# Windows with Arial, which every Windows has and which the window's layout
# is made for. Here Arial is Liberation Sans, a font with the same widths.
#
# Usage: wineprefix.sh WINE_SH
set -euo pipefail
wine=$1
"$wine" wineboot.exe --init
"$wine" reg.exe add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /d 'Liberation Sans' /f
# Qt on Windows logs (and Qt Test reports) to a console, and to the debugger
# where the program has none; Wine gives it none, so it is told to write to
# its standard streams.
"$wine" reg.exe add 'HKCU\Environment' /v QT_FORCE_STDERR_LOGGING /d 1 /f
# Xvfb is an X server; Wine need not look for Wayland.
"$wine" reg.exe add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11 /f
