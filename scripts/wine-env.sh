# Source this: the Wine environment of the Windows build's tests, and wine_prepare_prefix, which
# makes the prefix once. Parallel test processes each call it, so it works under a lock: Wine
# started on a prefix that another process is still creating fails to find its server folder.
export WINEPREFIX="$1" WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
wine_bin=/usr/lib/wine/wine64
wineserver_bin=/usr/lib/wine/wineserver
[ -x "$wine_bin" ] || wine_bin=$(command -v wine64 || command -v wine)
[ -x "$wineserver_bin" ] || wineserver_bin=$(command -v wineserver)

wine_prepare_prefix() {
  local ready="$WINEPREFIX/.prepared"
  [ -e "$ready" ] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -e "$ready" ]; then
      mkdir -p "$WINEPREFIX"
      "$wine_bin" wineboot --init >/dev/null 2>&1 || true
      touch "$ready"
    fi
  ) 9>"$WINEPREFIX.lock"
}
