# Sourced by the Wine test scripts: a fresh, quiet Wine prefix per run.
#
#   hc_wine_setup     creates $WINEPREFIX (a copy of a template prefix made
#                     once per machine), starts Xvfb and a wineserver
#   hc_wine_teardown  stops them and removes the prefix
#
# Facts this relies on: services that Wine starts inherit stdio, so the
# wineserver runs with stdio on /dev/null; a Wine session first started
# without a display never gets one, so Xvfb comes first; without a window
# manager every window waits for one unless X11 "Managed" is off.

# HC_WINE_ARCH (win32, the default, or win64) says which edition's programs
# run: a 32-bit prefix under Debian's `wine`, or a 64-bit one under
# `wine64`. Debian's `wine` picks the 32-bit loader whenever wine32 is
# installed, so for win64 `wine` is a script first on PATH (scripts and
# their children call `wine` by name) that starts the 64-bit loader under
# its own name: Wine picks the built-in programs (reg, regsvr32, cmd) of
# the loader's name, 32-bit ones for "wine".
HC_WINE_ARCH=${HC_WINE_ARCH:-win32}
case "$HC_WINE_ARCH" in
  win32) ;;
  win64)
    HC_WINE64_BIN=/tmp/hushcall-wine64-loader
    hc_wine64_script='#!/bin/bash
exec -a wine64 /usr/lib/wine/wine64 "$@"'
    if [ "$(cat "$HC_WINE64_BIN/wine" 2>/dev/null)" != "$hc_wine64_script" ]; then
      mkdir -p "$HC_WINE64_BIN" && printf '%s\n' "$hc_wine64_script" >"$HC_WINE64_BIN/wine.$$" &&
        chmod +x "$HC_WINE64_BIN/wine.$$" && mv -f "$HC_WINE64_BIN/wine.$$" "$HC_WINE64_BIN/wine"
    fi
    export PATH=$HC_WINE64_BIN:$PATH WINELOADER=/usr/lib/wine/wine64
    ;;
  *) echo "wine-env: HC_WINE_ARCH is win32 or win64, not '$HC_WINE_ARCH'" >&2; return 1 2>/dev/null || exit 1 ;;
esac
export HC_WINE_ARCH

# The template's name changes with what it holds (now Wine's own fonts),
# so that a template made before is not taken for it.
HC_WINE_TEMPLATE=${HC_WINE_TEMPLATE:-/tmp/hushcall-wine-template-fonts-$HC_WINE_ARCH}
HC_WINE_FONTS=${HC_WINE_FONTS:-/usr/share/wine/fonts}

export WINEARCH=$HC_WINE_ARCH
export WINEDEBUG=${WINEDEBUG:--all}
# winedbg off: a crashing test ends at once instead of waiting in the debugger.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"
export LC_ALL=C.UTF-8

hc_free_display() {
  local n=${1:-90}
  while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
  echo $n
}

# Starts Xvfb on a free display; sets DISPLAY and HC_XVFB_PID.
hc_start_xvfb() {
  local tries=0 n
  while :; do
    n=$(hc_free_display $((90 + RANDOM % 400)))
    Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    HC_XVFB_PID=$!
    for _ in $(seq 50); do
      [ -e /tmp/.X11-unix/X$n ] && break
      kill -0 $HC_XVFB_PID 2>/dev/null || break
      sleep 0.05
    done
    if [ -e /tmp/.X11-unix/X$n ] && kill -0 $HC_XVFB_PID 2>/dev/null; then
      export DISPLAY=:$n
      return 0
    fi
    tries=$((tries + 1))
    [ $tries -ge 5 ] && { echo "wine-env: Xvfb would not start" >&2; return 1; }
  done
}

hc_make_template() {
  (
    flock 9
    [ -f "$HC_WINE_TEMPLATE/.ready" ] && exit 0
    rm -rf "$HC_WINE_TEMPLATE"
    mkdir -p "$HC_WINE_TEMPLATE"
    export WINEPREFIX=$HC_WINE_TEMPLATE
    hc_start_xvfb || exit 1
    wineserver -p 300 </dev/null >/dev/null 2>&1
    wine wineboot -i </dev/null >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
    # Wine does not look for its own Tahoma and Marlett where fonts-wine
    # puts them; without them dialogs fall back to a wider font and the
    # title bar's glyphs to letters. In windows\Fonts they are found.
    cp "$HC_WINE_FONTS"/*.ttf "$HC_WINE_TEMPLATE/drive_c/windows/Fonts/" || exit 1
    wineserver -k; sleep 0.5
    kill $HC_XVFB_PID 2>/dev/null; wait $HC_XVFB_PID 2>/dev/null
    # No COM ports of the template survive: each run maps its own.
    rm -f "$HC_WINE_TEMPLATE"/dosdevices/com*
    touch "$HC_WINE_TEMPLATE/.ready"
  ) 9>"$HC_WINE_TEMPLATE.lock"
}

hc_wine_setup() {
  hc_make_template || return 1
  export WINEPREFIX=$(mktemp -d /tmp/hushcall-wine.XXXXXX)
  cp -a "$HC_WINE_TEMPLATE/." "$WINEPREFIX/"
  rm -f "$WINEPREFIX/.ready"
  hc_start_xvfb || return 1
  wineserver -p 300 </dev/null >/dev/null 2>&1
}

hc_wine_teardown() {
  [ -n "$WINEPREFIX" ] && WINEPREFIX=$WINEPREFIX wineserver -k </dev/null >/dev/null 2>&1
  [ -n "$HC_XVFB_PID" ] && { kill $HC_XVFB_PID 2>/dev/null; wait $HC_XVFB_PID 2>/dev/null; }
  case "$WINEPREFIX" in /tmp/hushcall-wine.*) rm -rf "$WINEPREFIX" ;; esac
}

# Windows path of a Unix file, through the prefix's Z: drive.
hc_winpath() {
  local p
  p=$(readlink -f "$1")
  echo "Z:${p//\//\\}"
}
