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
# Wine's own fonts (Tahoma, and Marlett for the caption buttons) join the
# prefix only for these pictures: the tests keep the fonts CI has.
fonts="$build/wineprefix/drive_c/windows/Fonts"
added=""
cleanup() {
  for f in $added; do rm -f "$fonts/$f"; done
  rm -rf "$work"
}
trap cleanup EXIT INT TERM
mkdir -p docs "$work/en" "$work/he" "$fonts"
for f in /usr/share/wine/fonts/*.ttf; do
  name=$(basename "$f")
  [ -e "$fonts/$name" ] || { cp "$f" "$fonts/$name"; added="$added $name"; }
done
# Wine draws the title bars itself when it may not leave them to a window
# manager (there is none on Xvfb).
sh tools/with-wine.sh "$build" sh -c '
  reg="HKCU\\Software\\Wine\\X11 Driver"
  "$1/wine-run.sh" reg add "$reg" /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
  for lang in en_US he_IL; do
    dir="$2/${lang%_*}"
    LC_ALL=$lang.UTF-8 "$1/wine-run.sh" "$1/bin/ShowDialogs.exe" "Z:$(echo "$dir" | tr / \\\\)" || exit 1
  done
  "$1/wine-run.sh" reg delete "$reg" /v Decorated /f >/dev/null 2>&1 || true
' sh "$build" "$work"
for lang in en he; do
  for bmp in "$work/$lang"/*.bmp; do
    name=$(basename "$bmp" .bmp)
    convert "$bmp" -strip "docs/$name-$lang.png"
    echo "docs/$name-$lang.png"
  done
done
