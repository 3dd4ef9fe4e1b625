#!/bin/sh
# Installs what the build and the tests need on Debian 12 (as root), only
# what is missing. Nothing is fetched from anywhere but Debian's mirrors.
set -e
need=""
pkgs="g++-mingw-w64-x86-64 wine64 xvfb googletest cmake ninja-build"
# tools/screenshots.sh also needs ImageMagick and Wine's fonts (the glyphs of
# the caption buttons); the tests do not.
[ "$1" = screenshots ] && pkgs="$pkgs imagemagick fonts-wine"
for pkg in $pkgs; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need="$need $pkg"
done
if [ -n "$need" ]; then
  echo "installing:$need"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends $need >/dev/null
fi
