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
  wine_restart
}

# wine_restart: ends every Wine process and the server, which saves the registry to the
# prefix's files (system.reg, user.reg), and starts a fresh server, whose programs read the
# system environment (PATH) anew.
wine_restart() {
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

# wine_locales: the en_US and ja_JP UTF-8 locales, compiled into a private directory
# ($WINE_LOCALES, for the caller to remove) that LOCPATH names. Wine takes the code pages
# from the Linux locale names; the locales themselves must exist for the argument vector
# to reach Wine whole.
wine_locales() {
  require_tool localedef
  WINE_LOCALES=$(mktemp -d /tmp/runwarden-wine-locales.XXXXXX)
  local locale
  for locale in en_US ja_JP; do
    localedef -i "$locale" -f UTF-8 "$WINE_LOCALES/$locale.UTF-8" 2>/dev/null ||
      { echo "FAIL: localedef $locale"; exit 1; }
  done
  export LOCPATH=$WINE_LOCALES
  unset LC_ALL LANG LC_MESSAGES LC_CTYPE
}
