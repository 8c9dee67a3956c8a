# Sourced by the Wine checks: a Wine prefix of the build's own, quiet Wine,
# and a Wine server restarted after the registry changes it reads at start.
# Wine's server reports on its standard error when it ends; it is started
# here with that output dropped, and ended when the check exits.
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEPREFIX="${WINEPREFIX:-$build/wineprefix}"

wine_restart() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -p >/dev/null 2>&1
}

wine_end() {
    wineserver -k >/dev/null 2>&1 || true
}
