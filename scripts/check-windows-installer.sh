#!/usr/bin/env bash
# Installs the Windows installer silently into a Wine prefix of its own, checks the programs run
# from the installed folder and the Start-menu entry is there, uninstalls, and checks that no
# file, folder or registry entry is left behind.
#
#   scripts/check-windows-installer.sh SETUP.exe [WORK]
set -euo pipefail
setup=$(cd "$(dirname "${1:?usage: check-windows-installer.sh SETUP.exe [WORK]}")" && pwd)/$(basename "$1")
work=${2:-$(mktemp -d /tmp/relvane-installer-XXXXXX)}
here=$(cd "$(dirname "$0")" && pwd)
prefix=$work/wineprefix
rm -rf "$prefix"
"$here/wine-prefix.sh" "$prefix"
trap '"$here/wine-prefix.sh" --stop "$prefix"' EXIT
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

fail() { echo "installer check: $*" >&2; exit 1; }
# Everything on drive C: but the temporary folders, which Wine itself keeps busy.
listing() { (cd "$prefix/drive_c" && find . -path './users/*/Temp' -prune -o -print | grep -v '/Temp$' | sort); }
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Relvane'

before=$(listing)
wine "$setup" /S '/D=C:\Program Files\Relvane' >/dev/null 2>&1 || fail "the installer failed"
dir=$prefix/drive_c/Program\ Files/Relvane
menu=$prefix/drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/Relvane
for file in relvane.exe relvane-run.exe relvane-decode.exe relvane-relay.exe relvane-monitor.exe uninstall.exe qt.conf \
            Qt6Core.dll plugins/platforms/qwindows.dll translations/qtbase_zh_CN.qm; do
  [[ -f $dir/$file ]] || fail "$file is not installed"
done
[[ -f $menu/Relvane.lnk ]] || fail "no Start-menu entry"
wine reg query "$uninstall_key" /v DisplayName >/dev/null 2>&1 || fail "no entry under Programs and Features"

# The installed programs start from their folder: the decoder, and the window drawing itself.
decoded=$(wine "$dir/relvane-decode.exe" --protocol 103 68 0E 0E 68 08 01 01 81 01 01 80 5A 02 39 30 1E 0A 00 FA 16 2>&1) ||
  fail "relvane-decode.exe: $decoded"
[[ $decoded == *"10:30:12.345"* ]] || fail "relvane-decode.exe: $decoded"
shot=$work/installed.png
rm -f "$shot"
wine "$dir/relvane.exe" -platform offscreen --demo-mode 103 --screenshot "$(winepath -w "$shot")" >/dev/null 2>&1 || true
[[ -s $shot ]] || fail "the installed relvane.exe drew no window"
installed=$(listing | wc -l)

# NSIS's uninstaller copies itself to the temporary folder and returns at once: wait until it
# has removed the folder (with a deadline, for a broken one).
wine "$dir/uninstall.exe" /S >/dev/null 2>&1 || fail "the uninstaller failed"
for _ in $(seq 600); do [[ -e $dir || -e $menu ]] || break; sleep 0.1; done
after=$(listing)
[[ ! -e $dir ]] || fail "the installation folder is left: $(cd "$dir" && find . | head)"
[[ ! -e $menu ]] || fail "the Start-menu folder is left"
! wine reg query "$uninstall_key" >/dev/null 2>&1 || fail "the uninstall entry is left"
left=$(comm -13 <(echo "$before") <(echo "$after"))
[[ -z $left ]] || fail "files left behind: $left"
echo "installer check: installed $installed entries on drive C:, started relvane.exe and relvane-decode.exe, uninstalled without a trace"
