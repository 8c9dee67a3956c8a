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

# Wine's own fonts (Debian's fonts-wine) into the prefix's font folder, where
# every Wine finds them: among them the faces of the caption buttons
# (Marlett) and of the forms ("MS Sans Serif", Tahoma). Without them the
# buttons show letters and the forms another face.
wine_fonts() {
    fonts=$(winepath -u 'C:\windows\Fonts' 2>/dev/null) || return 0
    [ -d /usr/share/wine/fonts ] && [ -d "$fonts" ] || return 0
    cp -n /usr/share/wine/fonts/* "$fonts/" 2>/dev/null || true
}
