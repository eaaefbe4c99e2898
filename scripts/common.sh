# Shared by scripts/test, scripts/run and bench/run: the build and the Wine prefix.
# Source it; it defines functions and the Wine environment, runs nothing.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Several people (or agents) may build side by side: UM_BUILD_ROOT picks the folder.
BUILD_ROOT=${UM_BUILD_ROOT:-$ROOT/build}
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver64

export WINEDEBUG=-all
# No menu entries on the host, no Mono/Gecko install prompts.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"

# build_target ARCH [BUILD_TESTS]: configures and builds build/ARCH.
build_target() {
  local arch=$1 tests=${2:-OFF}
  local dir="$BUILD_ROOT/$arch"
  mkdir -p "$dir"
  cmake -S "$ROOT" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DUM_BUILD_TESTS="$tests" >"$dir.configure.log" 2>&1 \
    || { cat "$dir.configure.log"; return 1; }
  local status=0
  cmake --build "$dir" -j"$(nproc)" >"$dir.build.log" 2>&1 || status=$?
  grep -vE '^\[ *[0-9]+%\]' "$dir.build.log" || true
  return $status
}

# make_prefix DIR: a fresh, sealed Wine prefix with a running persistent wineserver.
# Sealed: no drive Z:, and the profile folders are real folders inside the prefix,
# because the program under test deletes files.
# use_wine_locale: Wine then reports code page 936 (call after scripts/setup).
use_wine_locale() {
  export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
}

make_prefix() {
  use_wine_locale
  export WINEPREFIX=$1
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  "$WINESERVER" -p >/dev/null 2>&1 </dev/null
  "$WINE" wineboot -i >/dev/null 2>&1 </dev/null
  seal_prefix
  use_song_font
  # As on Windows, programs are of the class "exefile", whose icon is the file's
  # own: without this, Wine's shell shows a generic icon for every program.
  "$WINE" reg add 'HKCR\.exe' /ve /d exefile /f >/dev/null 2>&1 </dev/null
}

seal_prefix() {
  rm -f "$WINEPREFIX/dosdevices/z:"
  local link
  for link in "$WINEPREFIX"/drive_c/users/*/*; do
    if [ -L "$link" ]; then
      rm -f "$link"
      mkdir -p "$link"
    fi
  done
}

# use_song_font: dialogs ask for the Song face "宋体"; AR PL UMing has its metrics
# (a 9-point cell 12 pixels high), so dialog units come out as on Windows.
use_song_font() {
  local key='HKCU\Software\Wine\Fonts\Replacements'
  "$WINE" reg add "$key" /v "$(printf '\xe5\xae\x8b\xe4\xbd\x93')" /d "AR PL UMing CN" /f >/dev/null 2>&1 </dev/null
  "$WINE" reg add "$key" /v SimSun /d "AR PL UMing CN" /f >/dev/null 2>&1 </dev/null
}

# set_null_driver: windows and GDI without any display. The server is restarted so
# that the desktop, which wineboot tried to open with the X11 driver, comes up anew.
set_null_driver() {
  "$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 </dev/null
  "$WINESERVER" -k >/dev/null 2>&1 </dev/null
  "$WINESERVER" -w >/dev/null 2>&1 </dev/null
  "$WINESERVER" -p >/dev/null 2>&1 </dev/null
  # Start Wine's services now, detached, so they do not hold the test runner's pipes.
  "$WINE" wineboot >/dev/null 2>&1 </dev/null
}

stop_prefix() {
  "$WINESERVER" -k >/dev/null 2>&1 </dev/null || true
}
