#!/usr/bin/env bash
# The NSIS installer, run silently in both modes, as a user installs it: for
# the current user (no administrator rights needed) and for all users. Each
# time the programs run from where it put them, its Start-menu entry and its
# entry in the list of installed programs are there, and its uninstaller
# takes all of that away again.
#
# Usage: installer.sh WINE_SH INSTALLER VERSION
set -euo pipefail
wine=$1
installer=$2
version=$3
[ -f "$installer" ] || { echo "FAIL: no $installer; cpack makes it (./build.sh windows)"; exit 1; }
key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Velumet Display'
failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}

# mode, registry root, where the programs go, where the Start menu is
for modes in "CurrentUser|HKCU|users/*/AppData/Local/Programs|users/*/AppData/Roaming" \
  "AllUsers|HKLM|Program Files|ProgramData"; do
  IFS='|' read -r mode root programs menu <<<"$modes"
  "$wine" "$installer" /S "/$mode" || fail "$mode: the installer ended with $?"
  dir=$(compgen -G "$WINEPREFIX/drive_c/$programs/Velumet Display" || true)
  shortcut=$(compgen -G "$WINEPREFIX/drive_c/$menu/Microsoft/Windows/Start Menu/Programs/Velumet Display.lnk" || true)
  if [ -z "$dir" ]; then
    fail "$mode: nothing in $programs"
    continue
  fi
  [ -n "$shortcut" ] || fail "$mode: no Start-menu entry"
  for file in velumet-display.exe velumet-measure.exe platforms/qwindows.dll LICENSE.txt Uninstall.exe; do
    [ -e "$dir/$file" ] || fail "$mode: no $file"
  done
  out=$("$wine" "$dir/velumet-measure.exe" --version | tr -d '\r' | head -n 1) || true
  [ "$out" = "velumet-measure $version" ] || fail "$mode: the installed velumet-measure says '$out'"
  "$wine" reg.exe query "$root\\$key" /v DisplayVersion | tr -d '\r' | grep -q "$version" ||
    fail "$mode: not in $root's list of installed programs"

  # The uninstaller as Settings starts it, but waited for: _?= keeps it from
  # copying itself away first, so it stays behind alone.
  windows_dir=$("$wine" winepath.exe -w "$dir" | tr -d '\r')
  printf '"%s\\Uninstall.exe" /%s /S _?=%s\r\n' "$windows_dir" "$mode" "$windows_dir" >"$dir.bat"
  "$wine" cmd.exe /c "$windows_dir.bat" >/dev/null || fail "$mode: the uninstaller ended with $?"
  rm -f "$dir.bat"
  left=$(cd "$dir" && find . -mindepth 1 ! -name Uninstall.exe)
  [ -z "$left" ] || fail "$mode: the uninstaller left $left"
  [ ! -e "$shortcut" ] || fail "$mode: the uninstaller left the Start-menu entry"
  if "$wine" reg.exe query "$root\\$key" >/dev/null 2>&1; then
    fail "$mode: the uninstaller left the entry in $root's list of installed programs"
  fi
  rm -rf "$dir"
  [ "$failed" -eq 1 ] || echo "PASS: installed for $mode, ran, uninstalled"
done
exit "$failed"
