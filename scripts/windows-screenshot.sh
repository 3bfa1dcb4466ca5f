#!/usr/bin/env bash
# Saves the main window of the packaged relvane.exe, as Wine draws it, in screenshots/: the 103
# mode on the demonstration relay, its log full of Chinese annotations, and the '94 mode.
#
#   scripts/windows-screenshot.sh WIN_BUILD QT_PREFIX
#
# Drawn by the offscreen platform (given as an argument: Wine passes no QT_ variable) with the
# fonts beside the program; Wine's own GDI text drawing of Chinese faces clips glyphs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: windows-screenshot.sh WIN_BUILD QT_PREFIX}" && pwd)
qt=${2:?usage: windows-screenshot.sh WIN_BUILD QT_PREFIX}
app=$(find "$build/windows-dist" -maxdepth 2 -name relvane.exe -print -quit)
[[ -n $app ]] || { echo "windows-screenshot: no packaged relvane.exe (make windows)" >&2; exit 1; }
prefix=$build/wineprefix
"$root/scripts/wine-qt-prefix.sh" "$prefix" "$qt"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
out=$root/screenshots
mkdir -p "$out"

shot() {
  local file=$out/$1
  shift
  rm -f "$file"
  timeout 120 wine "$app" -platform offscreen "$@" --screenshot "$(winepath -w "$file")" || true
  [[ -s $file ]] || { echo "windows-screenshot: no image $file" >&2; exit 1; }
  echo "windows-screenshot: $file"
}
shot relvane-windows-103.png --demo-mode 103
shot relvane-windows-94.png --demo-mode 94
