#!/usr/bin/env bash
# The Windows tests' Wine prefix.
#   wine_prefix.sh start WINE64 PREFIX   make the prefix (once) and start its
#                                        server, which then stays up
#   wine_prefix.sh stop WINE64 PREFIX    end the server
set -euo pipefail
action=$1
wine=$2
export WINEPREFIX=$3
export WINEDEBUG=-all
# No installers of Wine's .NET and HTML engines: they would open dialogs.
export WINEDLLOVERRIDES="mscoree,mshtml="
server=$(dirname "$wine")/wineserver
[[ -x $server ]] || server=wineserver

case $action in
  start)
    mkdir -p "$WINEPREFIX"
    # The server must not hold ctest's output open: it outlives this test.
    # (It fails when the prefix's server is already running, which will do.)
    "$server" -p </dev/null >/dev/null 2>&1 || true
    "$wine" wineboot --init </dev/null >"$WINEPREFIX/wineboot.log" 2>&1 || {
      cat "$WINEPREFIX/wineboot.log" >&2
      exit 1
    }
    [[ -d $WINEPREFIX/drive_c/windows/system32 ]] || { echo "wine_prefix: no prefix made in $WINEPREFIX" >&2; exit 1; }
    echo "wine prefix ready: $WINEPREFIX"
    ;;
  stop)
    "$server" -k || true
    "$server" -w || true
    ;;
  *)
    echo "usage: wine_prefix.sh start|stop WINE64 PREFIX" >&2
    exit 2
    ;;
esac
