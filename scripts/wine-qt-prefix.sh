#!/usr/bin/env bash
# Readies a Wine prefix for the Qt programs of a Windows build:
#
#   scripts/wine-qt-prefix.sh PREFIX QT_PREFIX
#
# Wine drops every environment variable whose name begins with QT_, so the offscreen platform's
# font folder (QT_QPA_FONTDIR) is set in the prefix's HKCU\Environment, pointing at a folder of
# DejaVu Sans and WenQuanYi Zen Hei. Qt's DLLs are found through the user's PATH there too. The
# Windows font names a Qt program asks for (SimSun for the log, the dialog fonts for menus) are
# replaced with those faces, else Wine falls back to a serif face for Latin text.
set -euo pipefail
prefix=${1:?usage: wine-qt-prefix.sh PREFIX QT_PREFIX}
qt=$(cd "${2:?usage: wine-qt-prefix.sh PREFIX QT_PREFIX}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
"$here/wine-prefix.sh" "$prefix"
prefix=$(cd "$prefix" && pwd)
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

stamp=$prefix/.relvane-qt
[[ -f $stamp && $(cat "$stamp") == "$qt" ]] && exit 0

fonts=$prefix/drive_c/relvane-fonts
mkdir -p "$fonts"
for font in /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf \
            /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf /usr/share/fonts/truetype/wqy/wqy-zenhei.ttc; do
  [[ -f $font ]] || { echo "wine-qt-prefix: $font is missing (scripts/install-deps.sh)" >&2; exit 1; }
  ln -sfn "$font" "$fonts/$(basename "$font")"
done

# The compiler's runtime DLLs (the Qt DLLs need them) and Qt's own, through the user's PATH.
runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
path="$(winepath -w "$qt/bin");$(winepath -w "$runtime");$(winepath -w /usr/x86_64-w64-mingw32/lib)"
wine reg add 'HKCU\Environment' /v PATH /t REG_EXPAND_SZ /d "$path" /f >/dev/null
wine reg add 'HKCU\Environment' /v QT_QPA_FONTDIR /d 'C:\relvane-fonts' /f >/dev/null
for face in SimSun NSimSun 宋体 新宋体 "Microsoft YaHei" "微软雅黑"; do
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d "WenQuanYi Zen Hei" /f >/dev/null
done
for face in "Segoe UI" "MS Shell Dlg" "MS Shell Dlg 2" "MS Sans Serif" Tahoma Arial; do
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d "DejaVu Sans" /f >/dev/null
done
# Qt's Chinese texts, where the Qt programs look for them (the cross-built Qt has no translations).
mkdir -p "$qt/translations"
cp -n /usr/share/qt6/translations/qtbase_zh_CN.qm "$qt/translations/" 2>/dev/null || true
echo "$qt" > "$stamp"
