# Source this: prepares the Windows build's Wine prefix and keeps one wineserver alive,
# so that each test process does not pay Wine's start-up. wine_session_end stops it.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh" "$1"
mkdir -p "$WINEPREFIX"
"$wineserver_bin" -p
wine_prepare_prefix
wine_session_end() { "$wineserver_bin" -k >/dev/null 2>&1 || true; }
