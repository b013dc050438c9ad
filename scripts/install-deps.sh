#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need.
# Idempotent: apt-get runs only when a package is missing; sudo is used when not root.
# `install-deps.sh fuzz` also installs clang and its fuzzing runtime, for `make fuzz` only.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libshp-dev liblhasa-dev libproj-dev libfontconfig-dev
  # GeoPackage output goes through GDAL's API; the tests read both outputs with ogrinfo and GDAL.
  libgdal-dev gdal-bin
  # The GeoPackage's spatial indexes are packed into its SQLite R*Tree tables directly; the
  # tests check them with sqlite3's rtreecheck.
  libsqlite3-dev sqlite3
  # tests only: GEOS compares the areas of rebuilt polygons with their pieces
  libgeos-dev
  # A Japanese Gothic font: the map file's default Kanji font, found through fontconfig.
  fonts-ipafont-gothic
  # Tests only: MapServer 8 renders (map2img) and serves (mapserv as a CGI) the map file.
  mapserver-bin cgi-mapserver fonts-noto-cjk libpng-dev
  # Publishing (make serve, and its tests): Apache with mapserv as a CGI and PHP with PHP
  # MapScript for the PHP pages; Leaflet, which the web map copies beside itself.
  apache2 libapache2-mod-php php-mapscript-ng libjs-leaflet
  # Tests only: the web map seen in headless Chromium, driven over the DevTools protocol by
  # Node.js (its WebSocket client).
  chromium nodejs
  # The window gridora (ui/): Qt 6 Widgets, and a Japanese font for its captions and the
  # screenshots its tests take.
  qt6-base-dev
  # The Debian package (make package): CPack finds the programs' library dependencies with
  # dpkg-shlibdeps, which needs file to tell the binaries.
  dpkg-dev file
)
if [ "${1:-}" = fuzz ]; then
  # libFuzzer programs: clang 14 with its sanitizer and fuzzer runtimes.
  packages+=(clang-14 libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
as_root=()
[ "$(id -u)" -ne 0 ] && as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq || true
"${as_root[@]}" apt-get install -y -qq "${missing[@]}"
