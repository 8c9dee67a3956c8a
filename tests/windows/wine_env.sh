# Sourced by the Wine checks: a Wine prefix of the build's own unless one is
# given, quiet Wine, and a Wine server started again after the registry
# changes it reads at start. The server is started by hand so that its own
# messages (an object dump when it ends) stay out of the log, and it is let
# end on its own: a kill would leave the prefix in use.
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEPREFIX="${WINEPREFIX:-$build/wineprefix}"

wine_restart() {
    timeout 30 wineserver -w 2>/dev/null || wineserver -k >/dev/null 2>&1 || true
    wineserver >/dev/null 2>&1 || true
}

wine_end() {
    timeout 30 wineserver -w 2>/dev/null || wineserver -k >/dev/null 2>&1 || true
}
