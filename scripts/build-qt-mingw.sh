#!/usr/bin/env bash
# Cross-builds Qt's base module for 64-bit Windows (MinGW-w64, posix threads) from Debian's own
# qt6-base source package, with Debian's patches and packaging/windows/qtbase-mingw.patch, and
# installs it into a cache folder keyed by the source version, the options and the patch. When
# that folder is already complete, nothing is done. The host's Qt (same version) provides moc,
# rcc and uic.
#
#   scripts/build-qt-mingw.sh                 # build when missing; prints the prefix last
#   scripts/build-qt-mingw.sh --print-prefix  # only print where the build is (or would be)
#
# RELVANE_QT_CACHE picks the cache folder (default ~/.cache/relvane/qt-mingw); JOBS the number
# of compile jobs (default: all cores). The apt lists for the source entry live in the cache
# folder too: the system's apt setup is not touched.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
cache=${RELVANE_QT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/relvane/qt-mingw}
jobs=${JOBS:-$(nproc)}
patch_file=$here/packaging/windows/qtbase-mingw.patch
# The same version as the host's Qt, whose tools the cross build runs.
qt_version=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools 2>/dev/null || true)
qt_version=${qt_version:-6.4.2+dfsg-10}
triplet=x86_64-w64-mingw32

options=(
  -release -shared -opensource -confirm-license -nomake examples -nomake tests
  -no-opengl -no-dbus -no-icu -no-openssl -no-vulkan -no-zstd -no-feature-direct2d
  -no-feature-sql -no-feature-xml -no-feature-concurrent -no-feature-network
  -no-feature-testlib -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz
  -qt-doubleconversion
)
cmake_args=(
  -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=x86_64
  -DCMAKE_C_COMPILER=$triplet-gcc-posix -DCMAKE_CXX_COMPILER=$triplet-g++-posix
  -DCMAKE_RC_COMPILER=$triplet-windres
  -DCMAKE_FIND_ROOT_PATH=/usr/$triplet
  -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY
  -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY -DCMAKE_FIND_ROOT_PATH_MODE_PACKAGE=ONLY
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
)

key=$( { echo "$qt_version"; echo "${options[*]}"; echo "${cmake_args[*]}"; cat "$patch_file"; } \
       | sha256sum | cut -c1-12)
prefix=$cache/qtbase-${qt_version%%+*}-$key

if [[ ${1:-} == --print-prefix ]]; then echo "$prefix"; exit 0; fi
if [[ -f $prefix/.complete ]]; then echo "$prefix"; exit 0; fi

for tool in $triplet-g++-posix $triplet-windres cmake ninja dpkg-source; do
  command -v "$tool" >/dev/null || { echo "build-qt-mingw: $tool is missing (scripts/install-windows-deps.sh)" >&2; exit 1; }
done
[[ -d /usr/lib/x86_64-linux-gnu/cmake/Qt6HostInfo || -d /usr/lib/x86_64-linux-gnu/cmake/Qt6 ]] ||
  { echo "build-qt-mingw: the host's Qt 6 development files are missing" >&2; exit 1; }

work=$prefix.work
rm -rf "$prefix" "$work"
mkdir -p "$work/apt/lists/partial" "$work/apt/parts" "$work/apt/cache/archives/partial"
started=$(date +%s)

# A deb-src entry of our own, read only by the two apt-get calls below.
cat > "$work/apt/sources.list" <<'EOF'
deb-src http://deb.debian.org/debian bookworm main
deb-src http://deb.debian.org/debian-security bookworm-security main
EOF
apt_opts=(-o "Dir::Etc::sourcelist=$work/apt/sources.list" -o "Dir::Etc::sourceparts=$work/apt/parts"
          -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt/cache"
          -o "APT::Sandbox::User=$(id -un)")
apt-get "${apt_opts[@]}" -qq update
(cd "$work" && apt-get "${apt_opts[@]}" -qq source --download-only "qt6-base=$qt_version")
# Unpacking applies Debian's patches (security fixes among them).
dpkg-source -x "$work"/qt6-base_*.dsc "$work/src" >/dev/null
patch -d "$work/src" -p1 --quiet < "$patch_file"

mkdir -p "$work/build"
cd "$work/build"
../src/configure -prefix "$prefix" -xplatform win32-g++ -qt-host-path /usr "${options[@]}" \
  -- -G Ninja "${cmake_args[@]}" > configure.log 2>&1 ||
  { tail -40 configure.log >&2; echo "build-qt-mingw: configure failed ($work/build/configure.log)" >&2; exit 1; }
cmake --build . --parallel "$jobs" > build.log 2>&1 ||
  { grep -E 'error|FAILED' build.log | head -30 >&2; echo "build-qt-mingw: build failed ($work/build/build.log)" >&2; exit 1; }
cmake --install . > install.log 2>&1
cp "$work/build/config.summary" "$prefix/config.summary" 2>/dev/null || true
echo "qt6-base $qt_version, $(( ($(date +%s) - started) / 60 )) min, $(date -u +%FT%TZ)" > "$prefix/.complete"
cd / && rm -rf "$work"
echo "$prefix"
