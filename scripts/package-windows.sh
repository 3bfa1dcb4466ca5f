#!/usr/bin/env bash
# Packs the Windows programs of a cross build into a portable zip and an NSIS installer:
#
#   scripts/package-windows.sh BUILD QT_PREFIX [OUT]
#
# BUILD is the MinGW build folder, QT_PREFIX the Qt built by scripts/build-qt-mingw.sh, OUT the
# folder for relvane-<version>-win64.zip and relvane-<version>-setup.exe (default BUILD). The
# folder BUILD/windows-dist/relvane-<version>-win64 holds the programs with every DLL they load
# (found by following their imports), the Qt plugins, Qt's Chinese texts, qt.conf and a Chinese
# font for systems without one.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: package-windows.sh BUILD QT_PREFIX [OUT]}" && pwd)
qt=$(cd "${2:?usage: package-windows.sh BUILD QT_PREFIX [OUT]}" && pwd)
out=$(mkdir -p "${3:-$build}" && cd "${3:-$build}" && pwd)
triplet=x86_64-w64-mingw32
objdump=$triplet-objdump

version=$(sed -n 's/^#define RELVANE_PRODUCT_VERSION "\(.*\)"$/\1/p' "$root/src/app/VersionValues.h")
[[ -n $version ]] || { echo "package-windows: no product version in VersionValues.h" >&2; exit 1; }
name=relvane-$version-win64
dist=$build/windows-dist
stage=$dist/$name
rm -rf "$stage"
mkdir -p "$stage"

# The programs.
for program in relvane relvane-run relvane-decode relvane-relay relvane-monitor; do
  exe=$(find "$build/src" "$build/tools" -name "$program.exe" -type f -print -quit 2>/dev/null)
  [[ -n $exe ]] || { echo "package-windows: $program.exe is not built in $build" >&2; exit 1; }
  cp "$exe" "$stage/"
done
$triplet-strip --strip-unneeded "$stage"/*.exe

# Plugins: the Windows platform, offscreen (headless printing to PDF, tests), the native style
# and the image formats Qt built.
copy_plugin() {
  local file=$qt/plugins/$1
  [[ -f $file ]] || return 0
  mkdir -p "$stage/plugins/$(dirname "$1")"
  cp "$file" "$stage/plugins/$1"
}
for plugin in platforms/qwindows.dll platforms/qoffscreen.dll styles/qwindowsvistastyle.dll \
              imageformats/qico.dll imageformats/qjpeg.dll imageformats/qgif.dll; do
  copy_plugin "$plugin"
done
[[ -f $stage/plugins/platforms/qwindows.dll ]] ||
  { echo "package-windows: $qt has no Windows platform plugin" >&2; exit 1; }

# Every DLL the programs and plugins import, found in Qt's and the compiler's folders; the names
# found nowhere there are Windows' own (kernel32.dll and the like).
dll_dirs=("$qt/bin" /usr/lib/gcc/$triplet/*-posix /usr/$triplet/lib)
pending=("$stage"/*.exe $(find "$stage/plugins" -name '*.dll'))
declare -A seen=()
while ((${#pending[@]})); do
  file=${pending[0]}
  pending=("${pending[@]:1}")
  while read -r dll; do
    key=${dll,,}
    [[ -n ${seen[$key]:-} ]] && continue
    seen[$key]=1
    for dir in "${dll_dirs[@]}"; do
      if [[ -f $dir/$dll ]]; then
        cp "$dir/$dll" "$stage/"
        pending+=("$stage/$dll")
        break
      fi
    done
  done < <($objdump -p "$file" | sed -n 's/^\s*DLL Name: //p')
done
$triplet-strip --strip-unneeded "$stage"/*.dll $(find "$stage/plugins" -name '*.dll')

# Qt looks for its plugins and translations beside the programs.
printf '[Paths]\r\nPrefix = .\r\nPlugins = plugins\r\nTranslations = translations\r\n' > "$stage/qt.conf"
mkdir -p "$stage/translations"
cp /usr/share/qt6/translations/qtbase_zh_CN.qm "$stage/translations/"

# A Chinese font for systems that have none (the log's SimSun falls back to it): WenQuanYi Micro
# Hei from Debian's package, fetched once into the cache; Zen Hei (installed for the tests) else.
font_cache=${RELVANE_QT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/relvane/qt-mingw}/fonts
mkdir -p "$stage/fonts" "$font_cache"
if [[ ! -f $font_cache/wqy-microhei.ttc ]]; then
  tmp=$(mktemp -d)
  if (cd "$tmp" && apt-get download -qq fonts-wqy-microhei 2>/dev/null) && dpkg-deb -x "$tmp"/fonts-wqy-microhei_*.deb "$tmp/x"; then
    cp "$tmp/x/usr/share/fonts/truetype/wqy/wqy-microhei.ttc" "$font_cache/"
    cp "$tmp/x/usr/share/doc/fonts-wqy-microhei/copyright" "$font_cache/wqy-microhei.copyright"
  fi
  rm -rf "$tmp"
fi
if [[ -f $font_cache/wqy-microhei.ttc ]]; then
  cp "$font_cache/wqy-microhei.ttc" "$stage/fonts/"
  cp "$font_cache/wqy-microhei.copyright" "$stage/fonts/wqy-microhei-copyright.txt"
else
  cp /usr/share/fonts/truetype/wqy/wqy-zenhei.ttc "$stage/fonts/"
  cp /usr/share/doc/fonts-wqy-zenhei/copyright "$stage/fonts/wqy-zenhei-copyright.txt"
fi

# Licences of what is shipped: Qt (LGPL 3) and the compiler's runtime (GPL 3 with the runtime
# exception, which allows this).
mkdir -p "$stage/licenses"
cp /usr/share/common-licenses/LGPL-3 "$stage/licenses/Qt-LGPL-3.txt"
cp /usr/share/common-licenses/GPL-3 "$stage/licenses/GPL-3.txt"
sed 's/$/\r/' "$root/packaging/windows/README.txt" > "$stage/README.txt"

# The portable zip: one folder, unpacked anywhere.
rm -f "$out/$name.zip"
(cd "$dist" && zip -q -r -9 -X "$out/$name.zip" "$name")

# The installer. The file lists are written out, so that the uninstaller removes exactly what
# was installed and nothing a user put into the folder.
nsh=$dist/nsis
mkdir -p "$nsh"
: > "$nsh/install-files.nsh"
: > "$nsh/uninstall-files.nsh"
(cd "$stage" && find . -type d | sort) | while read -r dir; do
  rel=${dir#.}
  printf 'SetOutPath "$INSTDIR%s"\n' "${rel//\//\\}" >> "$nsh/install-files.nsh"
  (cd "$stage/$dir" && find . -maxdepth 1 -type f | sort) | while read -r file; do
    printf 'File "%s"\n' "$stage/$dir/${file#./}" >> "$nsh/install-files.nsh"
    printf 'Delete "$INSTDIR%s\\%s"\n' "${rel//\//\\}" "${file#./}" >> "$nsh/uninstall-files.nsh"
  done
done
(cd "$stage" && find . -mindepth 1 -type d | sort -r) | while read -r dir; do
  rel=${dir#.}
  printf 'RMDir "$INSTDIR%s"\n' "${rel//\//\\}" >> "$nsh/uninstall-files.nsh"
done
size_kb=$(du -sk "$stage" | cut -f1)
rm -f "$out/relvane-$version-setup.exe"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSIZE_KB="$size_kb" -DFILES="$nsh" \
  -DOUTFILE="$out/relvane-$version-setup.exe" "$root/packaging/windows/relvane.nsi"

ls -l "$out/$name.zip" "$out/relvane-$version-setup.exe"
