#!/bin/sh
# `make run`: starts the desktop program on the user's data. Without a display (no X11 or Wayland
# session, and no Qt platform chosen by hand) it says so in one line and lists the notes through
# pellucor-cli instead, so a terminal-only session still shows what is due.
build="${1:-build}"
shift 2>/dev/null || true
if [ -n "$DISPLAY" ] || [ -n "$WAYLAND_DISPLAY" ] || [ -n "$QT_QPA_PLATFORM" ]; then
  exec "$build/app/pellucor" "$@"
fi
echo "pellucor: no display to open a window on (DISPLAY and WAYLAND_DISPLAY are unset); the notes from pellucor-cli instead:"
exec "$build/app/pellucor-cli" list "$@"
