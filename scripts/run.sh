#!/usr/bin/env bash
# Sets up what is missing, builds Kribbel and starts it under Wine.
#   bash scripts/run.sh                      runs until the window is closed
#   bash scripts/run.sh --screenshot F.png   saves the screen once the window is
#                                            up, then ends the program
# Without a display it runs on a private Xvfb inside a Wine desktop window,
# which draws the window's frame and caption.
set -uo pipefail
kribbel_root=$(cd "$(dirname "$0")/.." && pwd)
cd "$kribbel_root"
source scripts/wine-env.sh
trap kribbel_wine_stop EXIT

screenshot=""
if [ "${1:-}" = "--screenshot" ]; then
  screenshot=$(realpath -m "${2:?--screenshot needs a file name}")
fi

bash scripts/setup.sh || exit 1
arch=$(kribbel_windows_arch)
build=build/win32
toolchain=cmake/toolchain-i686-mingw.cmake
if [ "$arch" != i686 ]; then
  echo "run: this kernel cannot execute 32-bit code; running the 64-bit build"
  build=build/win64
  toolchain=cmake/toolchain-x86_64-mingw.cmake
fi
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null &&
  cmake --build "$build" -j"$(nproc)" --target kribbel || exit 1

had_display=${DISPLAY:-}
kribbel_wine_start "$arch"
# Wine sees the machine's root as drive Z:.
exe="Z:$(printf '%s' "$kribbel_root/$build/app/kribbel.exe" | tr / '\\')"
screen=${KRIBBEL_SCREEN:-1920x1080x24}
if [ -z "$had_display" ]; then
  launch=("$WINELOADER" explorer "/desktop=Kribbel,${screen%x*}" "$exe")
else
  launch=("$WINELOADER" "$exe")
fi

if [ -z "$screenshot" ]; then
  "${launch[@]}"
  exit $?
fi

"${launch[@]}" &
program=$!
# Wait for the program's top-level window to exist (the desktop window, or
# the program's own), then give it time to be shown and painted.
for i in $(seq 60); do
  sleep 0.5
  if xwininfo -root -tree -display "$DISPLAY" 2>/dev/null | grep -q 'Kribbel'; then break; fi
done
sleep "${KRIBBEL_SETTLE_SECONDS:-5}"
import -window root -display "$DISPLAY" "$screenshot" && echo "run: saved $screenshot"
kill "$program" 2>/dev/null
