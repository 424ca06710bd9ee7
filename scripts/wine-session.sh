#!/usr/bin/env bash
# start BUILD-DIR: makes sure the build tree's Wine prefix exists, starts an Xvfb display for
#   the GUI tests and a persistent wineserver, outside any ctest run (Wine's background
#   services keep inherited pipes open, so they must not be children of ctest).
#   Prints "export DISPLAY=:N" for the caller to eval.
# stop BUILD-DIR: stops the wineserver and the Xvfb display again.
set -euo pipefail
cmd=${1:?usage: wine-session.sh start|stop BUILD-DIR}
BUILD=$(cd "${2:?usage: wine-session.sh start|stop BUILD-DIR}" && pwd)
source "$BUILD/wine-env.sh"
ROOT=$(dirname "$WINEPREFIX")
mkdir -p "$ROOT"

case "$cmd" in
start)
  if [ -f "$ROOT/xvfb.pid" ] && kill -0 "$(cat "$ROOT/xvfb.pid")" 2>/dev/null; then
    display=$(cat "$ROOT/display")
  else
    # Xvfb picks a free display and writes its number to fd 3.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$ROOT/xvfb.log" 2>&1 3>"$ROOT/display.fd" &
    echo $! >"$ROOT/xvfb.pid"
    for _ in $(seq 100); do
      [ -s "$ROOT/display.fd" ] && break
      sleep 0.1
    done
    display=":$(head -n1 "$ROOT/display.fd" | tr -d '[:space:]')"
    echo "$display" >"$ROOT/display"
  fi
  export DISPLAY=$display
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    setsid wineboot -i </dev/null >"$ROOT/wineboot.log" 2>&1 || true
    wineserver -w
  fi
  # A persistent server, detached from the caller's pipes.
  setsid wineserver -p 600 </dev/null >/dev/null 2>&1 &
  setsid wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  if [ ! -f "$ROOT/x11-unmanaged" ]; then
    # Wine draws its windows' frames itself instead of asking for an X window manager (Xvfb
    # has none): closing a window then costs nothing instead of about two seconds.
    setsid wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
    touch "$ROOT/x11-unmanaged"
  fi
  echo "export DISPLAY=$display"
  ;;
stop)
  wineserver -k 2>/dev/null || true
  if [ -f "$ROOT/xvfb.pid" ]; then
    kill "$(cat "$ROOT/xvfb.pid")" 2>/dev/null || true
    rm -f "$ROOT/xvfb.pid" "$ROOT/display" "$ROOT/display.fd"
  fi
  ;;
*) echo "usage: wine-session.sh start|stop BUILD-DIR" >&2; exit 2 ;;
esac
