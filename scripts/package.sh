#!/usr/bin/env bash
# Builds the Debian package velquor_<version>_<arch>.deb into the repository's
# folder: installs what is missing, builds a Release tree without tests in
# build-package/, packs it with CPack (Depends from dpkg-shlibdeps), then
# checks the desktop entry and the AppStream metadata the package installs.
# Extra arguments go to cmake, e.g. -DCMAKE_CXX_COMPILER_LAUNCHER=ccache.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" --package

dir="$root/build-package"
jobs=${VELQUOR_JOBS:-2}
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DVELQUOR_BUILD_TESTS=OFF -DVELQUOR_BUILD_BENCH=OFF "$@" >/dev/null
cmake --build "$dir" -j "$jobs"
rm -f "$dir"/velquor_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)

deb=$(ls "$dir"/velquor_*.deb)
staged=$(mktemp -d)
trap 'rm -rf "$staged"' EXIT
dpkg-deb -x "$deb" "$staged"
desktop-file-validate "$staged"/usr/share/applications/*.desktop
echo "desktop-file-validate: the desktop entry is valid"
echo -n "appstreamcli validate: "
appstreamcli validate --no-net --pedantic "$staged"/usr/share/metainfo/*.metainfo.xml
for f in /usr/bin/velquor /usr/lib/velquor/velquor /usr/lib/velquor/libvelquor_codecs.so \
  /usr/lib/velquor/mp3dec.dll \
  /usr/lib/velquor/help/velquorhelp.html /usr/share/icons/hicolor/scalable/apps/velquor.svg \
  /usr/share/icons/hicolor/{48x48,128x128,256x256}/apps/velquor.png; do
  [ -e "$staged$f" ] || { echo "package.sh: $f is missing from the package" >&2; exit 1; }
done

cp -f "$deb" "$root/"
echo "$root/$(basename "$deb")"
dpkg-deb -f "$deb" Depends
