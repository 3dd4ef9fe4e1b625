#!/bin/sh
# Pictures of every dialog into docs/: English and Hebrew (right to left).
# Shows each dialog under Xvfb and Wine through build/bin/ShowDialogs.exe,
# which captures the window as drawn; ImageMagick turns the captures into
# PNG files. Not part of the tests: run it after a dialog or picture changes.
set -e
cd "$(dirname "$0")/.."
sh tools/setup.sh screenshots
build=${BUILD_DIR:-build}
[ -f "$build/build.ninja" ] ||
  cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw64.cmake -DVRELM_WERROR=ON >/dev/null
cmake --build "$build" --target ShowDialogs vrelm102
build=$(cd "$build" && pwd)
work=$(mktemp -d)
# Wine's Marlett font (the caption buttons' glyphs) joins the prefix only
# for these pictures: the tests keep the fonts CI has. Not Wine's Tahoma:
# it has no Hebrew letters, and Wine would not fall back for them.
fonts="$build/wineprefix/drive_c/windows/Fonts"
added=""
cleanup() {
  for f in $added; do rm -f "$fonts/$f"; done
  rm -rf "$work"
}
trap cleanup EXIT INT TERM
mkdir -p docs "$work/en" "$work/he" "$fonts"
for f in /usr/share/wine/fonts/marlett.ttf; do
  name=$(basename "$f")
  [ -e "$fonts/$name" ] || { cp "$f" "$fonts/$name"; added="$added $name"; }
done
# with-wine.sh leaves windows unmanaged: Wine draws their title bars.
sh tools/with-wine.sh "$build" sh -c '
  for lang in en_US he_IL; do
    dir="$2/${lang%_*}"
    LC_ALL=$lang.UTF-8 "$1/wine-run.sh" "$1/bin/ShowDialogs.exe" "Z:$(echo "$dir" | tr / \\\\)" || exit 1
  done
' sh "$build" "$work"
for lang in en he; do
  for bmp in "$work/$lang"/*.bmp; do
    name=$(basename "$bmp" .bmp)
    convert "$bmp" -strip "docs/$name-$lang.png"
    echo "docs/$name-$lang.png"
  done
done
