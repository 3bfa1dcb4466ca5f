#!/usr/bin/env bash
# The Debian package as a user gets it.
#   check-package.sh build BUILD_DIR WORK_DIR             builds WORK_DIR/relvane.deb with CPack
#   check-package.sh check BUILD_DIR WORK_DIR PROGRAM...  checks that it holds exactly the files it
#     should, validates the desktop entry and the AppStream metadata, unpacks it into a scratch
#     root and runs the programs from there
set -euo pipefail
mode=$1
build_dir=$(realpath "$2")
work_dir=$(realpath -m "$3")
shift 3
programs=("$@")
icon_sizes=(16 22 24 32 48 64 128 256)

if [ "$mode" = build ]; then
  rm -rf "$work_dir"
  mkdir -p "$work_dir"
  cpack --config "$build_dir/CPackConfig.cmake" -G DEB -B "$work_dir" >"$work_dir/cpack.log" 2>&1 ||
    { cat "$work_dir/cpack.log" >&2; exit 1; }
  debs=("$work_dir"/relvane_*.deb)
  [ -f "${debs[0]}" ] || { echo "no package in $work_dir" >&2; exit 1; }
  ln -sf "$(basename "${debs[0]}")" "$work_dir/relvane.deb"
  exit 0
fi

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
deb=$(readlink -f "$work_dir/relvane.deb")
rm -rf "$work_dir/root" "$work_dir/local" "$work_dir/home"

# Every file the package must hold, and nothing else.
expected=(
  usr/share/applications/relvane.desktop
  usr/share/metainfo/org.relvane.Relvane.metainfo.xml
  usr/share/icons/hicolor/scalable/apps/relvane.svg
  usr/share/doc/relvane/copyright
  usr/share/doc/relvane/changelog.gz
)
for program in "${programs[@]}"; do
  expected+=("usr/bin/$program" "usr/share/man/man1/$program.1.gz")
done
for size in "${icon_sizes[@]}"; do
  expected+=("usr/share/icons/hicolor/${size}x${size}/apps/relvane.png")
done
dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' | sort >"$work_dir/files"
printf '%s\n' "${expected[@]}" | sort >"$work_dir/expected"
if ! diff -u "$work_dir/expected" "$work_dir/files" >"$work_dir/files.diff"; then
  fail "package files differ from the expected list (- missing, + unexpected):"
  cat "$work_dir/files.diff" >&2
fi

# make install puts the same files under /usr/local.
DESTDIR="$work_dir/local" cmake --install "$build_dir" --prefix /usr/local --strip >/dev/null
(cd "$work_dir/local/usr/local" && find . ! -type d | sed 's|^\./|usr/|' | sort) >"$work_dir/local-files"
diff -u "$work_dir/expected" "$work_dir/local-files" >&2 || fail "make install differs from the package"

depends=$(dpkg-deb --field "$deb" Depends)
for dependency in libqt6widgets6 libc6 fonts-wqy-zenhei qt6-translations-l10n; do
  [[ ", $depends," == *", $dependency"[\ ,]* ]] || fail "Depends lacks $dependency: $depends"
done
[ "$(dpkg-deb --field "$deb" Version)" = 1.50 ] || fail "version is not 1.50"

root="$work_dir/root"
dpkg -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/relvane.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.relvane.Relvane.metainfo.xml" >&2 ||
  fail "AppStream metadata"
for program in "${programs[@]}"; do
  grep -q "<binary>$program</binary>" "$root/usr/share/metainfo/org.relvane.Relvane.metainfo.xml" ||
    fail "metainfo does not provide $program"
done

for size in "${icon_sizes[@]}"; do
  file "$root/usr/share/icons/hicolor/${size}x${size}/apps/relvane.png" | grep -q "PNG image data, $size x $size," ||
    fail "relvane.png of ${size}x${size} is not a PNG of that size"
done

for program in "${programs[@]}"; do
  binary="$root/usr/bin/$program"
  # Nothing may point back into the build tree, and every library must be found.
  if readelf -d "$binary" | grep -Eq 'RPATH|RUNPATH'; then fail "$program has a run path"; fi
  if ldd "$binary" | grep -q 'not found'; then fail "$program misses a library: $(ldd "$binary" | grep 'not found')"; fi
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
    "$root/usr/share/man/man1/$program.1.gz" 2>&1 >/dev/null) || fail "man $program fails"
  [ -z "$warnings" ] || fail "man $program: $warnings"
done

# The decoder runs from the installed path, with nothing of the build tree around it.
run_decode() {
  (cd / && env -i PATH=/usr/bin:/bin "$root/usr/bin/relvane-decode" "$@")
}
set +e
out=$(run_decode --protocol 94 01 83 00 30 F0); status=$?
set -e
[ "$status" = 1 ] && [ -z "$out" ] || fail "relvane-decode of a poll: exit $status, output '$out'"
out=$(run_decode --protocol 94 --check 01 83 00 30 F0) || true
[ "$out" = "CRC ok" ] || fail "relvane-decode --check of a poll printed '$out'"
out=$(run_decode --protocol 94 01 B7 09 04 20 12 31 23 59 58 99 09 9B 7C) ||
  fail "relvane-decode of a clock answer failed"
[ "$out" = "2004年12月31日 23:59:58.999 " ] || fail "relvane-decode of a clock answer printed '$out'"
for program in relvane-run relvane-relay relvane-monitor; do
  if [[ " ${programs[*]} " == *" $program "* ]]; then
    (cd / && env -i PATH=/usr/bin:/bin "$root/usr/bin/$program" --help >/dev/null) ||
      fail "$program --help from the installed path"
  fi
done

# The window and the runner start from the installed path with a fresh home and no display.
home="$work_dir/home"
mkdir -p "$home"
run_installed() {
  (cd / && env -i PATH=/usr/bin:/bin HOME="$home" QT_QPA_PLATFORM=offscreen timeout 60 "$@")
}
if [[ " ${programs[*]} " == *" relvane-run "* ]]; then
  out=$(echo "wait 10" | run_installed "$root/usr/bin/relvane-run" - 2>"$work_dir/run.err") ||
    fail "relvane-run of a script from the installed path: $(cat "$work_dir/run.err")"
fi
if [[ " ${programs[*]} " == *" relvane "* ]]; then
  run_installed "$root/usr/bin/relvane" --screenshot "$work_dir/window.png" 2>"$work_dir/window.err" ||
    fail "relvane from the installed path: $(cat "$work_dir/window.err")"
  file "$work_dir/window.png" | grep -q "PNG image data" || fail "relvane drew no window"
fi

if ((failures)); then
  echo "$failures check(s) failed; the package is $deb" >&2
  exit 1
fi
echo "package $deb: ${#expected[@]} files checked"
