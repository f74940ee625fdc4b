# Sourced by the run and test commands: a project-local Wine prefix, a private
# Xvfb when no display is set, and one wineserver kept alive for the whole
# command. kribbel_wine_stop stops what kribbel_wine_start started, by process id.

kribbel_root=${kribbel_root:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}

# 32-bit Wine needs a kernel that executes 32-bit code; where it cannot, the
# same sources are tested as a 64-bit Windows build under 64-bit Wine.
kribbel_can_run_32bit() {
  [ -z "${KRIBBEL_FORCE_WIN64:-}" ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

kribbel_windows_arch() {
  if kribbel_can_run_32bit; then echo i686; else echo x86_64; fi
}

kribbel_xvfb_pid=""
kribbel_wineserver_pid=""

kribbel_wine_start() {  # $1: i686 or x86_64
  local arch=$1
  if [ "$arch" = i686 ]; then
    export WINEARCH=win32 WINELOADER=/usr/lib/wine/wine
  else
    export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
  fi
  export WINEPREFIX="${KRIBBEL_WINEPREFIX:-$kribbel_root/build/wineprefix-$arch}"
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

  # Wine's display driver binds to the display of the first program of a
  # prefix: Xvfb comes before the wineserver.
  if [ -z "${DISPLAY:-}" ]; then
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 "${KRIBBEL_SCREEN:-1920x1080x24}" -nolisten tcp >/dev/null 2>&1 &
    kribbel_xvfb_pid=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  fi

  mkdir -p "$WINEPREFIX"
  wineserver -f -p >/dev/null 2>&1 &
  kribbel_wineserver_pid=$!
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine: creating the prefix $WINEPREFIX"
    "$WINELOADER" wineboot -i >/dev/null 2>&1
  else
    "$WINELOADER" wineboot >/dev/null 2>&1
  fi
  # The prefix's settings, made once (the stamp names their version).
  if [ ! -f "$WINEPREFIX/.kribbel-settings-2" ]; then
    # A crash must fail its test, not wait in a debugger dialog.
    "$WINELOADER" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
      >/dev/null 2>&1
    # Chinese text in captions: the system's CJK font stands in for SimSun,
    # which Wine's font links name.
    "$WINELOADER" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v SimSun /t REG_SZ \
      /d 'WenQuanYi Micro Hei' /f >/dev/null 2>&1
    touch "$WINEPREFIX/.kribbel-settings-2"
  fi
}

kribbel_wine_stop() {
  if [ -n "$kribbel_wineserver_pid" ]; then
    wineserver -k >/dev/null 2>&1
    kill "$kribbel_wineserver_pid" 2>/dev/null
    wait "$kribbel_wineserver_pid" 2>/dev/null
    kribbel_wineserver_pid=""
  fi
  if [ -n "$kribbel_xvfb_pid" ]; then
    kill "$kribbel_xvfb_pid" 2>/dev/null
    wait "$kribbel_xvfb_pid" 2>/dev/null
    kribbel_xvfb_pid=""
  fi
}
