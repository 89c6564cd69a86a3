#!/usr/bin/env bash
# Runs a Windows program under Wine 10 or later, the first Wine whose serial
# layer serves a pseudo-terminal (Wine 8 gives up on its modem status). The
# system's Wine where it is new enough, else the Debian 13 root that
# wine-root.sh made; in that root the program sees /dev, /proc, /tmp (X11's
# socket and xvfb-run's authority file) and VELUMET_WINE_SHARE, a
# colon-separated list of directories shown at their own paths.
#
# Without an X server (DISPLAY unset) the program gets Xvfb of its own:
# Wine's windows, and Qt's Windows platform on them, need one. Wine hands a
# program none of the Unix QT_ variables, which belong to Linux's Qt; what
# Qt for Windows is to be told goes into the prefix (wineprefix.sh).
#
# Usage: wine.sh PROGRAM.exe [ARGUMENTS...]
# Environment: WINEPREFIX, the caller's own prefix (required: never the
# user's); VELUMET_WINE_ROOT, the Debian 13 root; VELUMET_WINE_SHARE;
# VELUMET_WINE_PRELOAD, a library preloaded into Wine alone (ptymodem.cpp);
# VELUMET_WINE_DLLS, a colon-separated list of directories Windows searches
# for DLLs, shown in the root as well.
set -euo pipefail

: "${WINEPREFIX:?wine.sh: set WINEPREFIX to a prefix of your own, never the user one}"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
export WINEPREFIX WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-winemenubuilder.exe=d}

# The major version of the Wine at $1 (a command), or 0.
wine_major() {
  local version
  version=$("$@" --version 2>/dev/null) || { echo 0; return; }
  version=${version#wine-}
  echo "${version%%.*}"
}

# Unix directories as Windows sees them: on drive Z:.
winepath=
IFS=: read -r -a dll_dirs <<<"${VELUMET_WINE_DLLS:-}"
for directory in "${dll_dirs[@]}"; do
  [ -n "$directory" ] && winepath+="Z:${directory//\//\\};"
done
export WINEPATH=${winepath%;}
export VELUMET_WINE_SHARE=${VELUMET_WINE_SHARE:-}:${VELUMET_WINE_DLLS:-}
preload=()
[ -z "${VELUMET_WINE_PRELOAD:-}" ] || preload=("LD_PRELOAD=$VELUMET_WINE_PRELOAD")

# The wineserver outlives the program and, as Xvfb comes and goes, writes
# dumps of its objects (thousands of lines) onto the standard error it was
# started with, burying the program's own messages. Started first, on its
# own, it writes nowhere; one already running for the prefix stays as it is.
if command -v wine >/dev/null && [ "$(wine_major wine)" -ge 10 ]; then
  wineserver 2>/dev/null || true
  exec env "${preload[@]}" wine "$@"
fi

root=${VELUMET_WINE_ROOT:?wine.sh: the system has no Wine 10; set VELUMET_WINE_ROOT (wine-root.sh makes one)}
[ -f "$root/wine-complete" ] || { echo "wine.sh: $root is no finished Wine root; run wine-root.sh" >&2; exit 1; }

# A mount namespace of its own: the binds end with the last process in it,
# and the host's mounts are untouched. The program starts in the caller's
# directory, which Wine shows as the current one on drive Z:.
export VELUMET_WINE_PRELOAD=${VELUMET_WINE_PRELOAD:-}
exec unshare --mount --propagation private -- bash -euo pipefail -c '
  root=$1
  shift
  mount --rbind /dev "$root/dev"
  mount --rbind /proc "$root/proc"
  mount --rbind /tmp "$root/tmp"
  IFS=: read -r -a shared <<<"$VELUMET_WINE_SHARE:$PWD"
  for directory in "${shared[@]}" "$WINEPREFIX"; do
    # The root itself is never shown over: that would hide the root.
    [ -n "$directory" ] && [ "$directory" != / ] || continue
    mkdir -p "$directory" "$root$directory"
    mount --bind "$directory" "$root$directory"
  done
  preload=()
  [ -z "$VELUMET_WINE_PRELOAD" ] || preload=("LD_PRELOAD=$VELUMET_WINE_PRELOAD")
  exec chroot "$root" /bin/sh -c \
    "cd \"\$0\" && { /usr/bin/wineserver 2>/dev/null || true; } && exec /usr/bin/env \"\$@\"" \
    "$PWD" "${preload[@]}" /usr/bin/wine "$@"
' wine.sh "$root" "$@"
