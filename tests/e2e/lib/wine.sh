# One Wine prefix for an end-to-end script: made fresh, its first session ended once so that
# the Task Scheduler service comes up, kept warm while the script runs, and shut down (with
# every Wine process) when the script exits. Programs' output is read through files, since
# Wine's helper services keep an inherited pipe open after the program has ended.
#
#   source tests/e2e/lib/wine.sh
#   wine_start
#   wine_run OUT_FILE program.exe args...   # exit status of the program

WINE64=${WINE64:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}

wine_stop() {
  [[ -n ${WINEPREFIX:-} && -d $WINEPREFIX ]] || return 0
  timeout 30 "$WINESERVER" -k 2>/dev/null || true
  timeout 30 "$WINESERVER" -w 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}

wine_start() {
  require_tool "$WINE64"
  WINEPREFIX=$(mktemp -d /tmp/runwarden-wine.XXXXXX)
  export WINEPREFIX WINEDEBUG=-all
  trap wine_stop EXIT
  timeout 120 "$WINE64" wineboot -i >/dev/null 2>&1
  "$WINESERVER" -k 2>/dev/null || true
  timeout 30 "$WINESERVER" -w
  "$WINESERVER" -p60
}

# wine_run OUT_FILE PROGRAM ARGS...: standard output to OUT_FILE, errors to OUT_FILE.err.
wine_run() {
  local out=$1
  shift
  timeout 60 "$WINE64" "$@" >"$out" 2>"$out.err"
}
