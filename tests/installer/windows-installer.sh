#!/usr/bin/env bash
# Builds the Windows installer (CPack NSIS), installs it silently under Wine into a fresh
# folder, checks the files and the Start-menu entry, runs the installed programs with only the
# installed DLLs and plugins, and uninstalls it silently.
# windows-installer.sh BUILD_DIR WINE
set -euo pipefail
build=$1 wine=$2
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix} WINEDEBUG=-all
unset WINEPATH QT_PLUGIN_PATH
fail() { echo "FAIL: $*" >&2; exit 1; }
waitfor() { # condition-command... : up to a minute
    for _ in $(seq 600); do "$@" && return 0; sleep 0.1; done
    return 1
}

(cd "$build" && cpack -G NSIS >/dev/null) || fail "cpack -G NSIS"
installer=$(ls -t "$build"/tessaron-*-win64.exe | head -n1)
target=$(mktemp -d "$WINEPREFIX/drive_c/tessaron-install-XXXXXX")
rmdir "$target"
windows_target="C:\\$(basename "$target")"
"$wine" "$installer" /S "/D=$windows_target" || fail "the installer ended with $?"

for file in tessaron.exe tessaron-convert.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll \
    Qt6Network.dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll libcurl.dll \
    libssh2.dll libxml2.dll platforms/qwindows.dll; do
    [ -f "$target/bin/$file" ] || fail "bin/$file not installed"
done
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tessaron"
[ -f "$menu/Tessaron.lnk" ] || fail "no Start-menu entry"

version=$("$wine" "$windows_target\\bin\\tessaron.exe" --version | tr -d '\r')
[[ $version == "tessaron "* ]] || fail "tessaron.exe --version printed '$version'"
# The converter takes no --help: it answers with its usage.
usage=$("$wine" "$windows_target\\bin\\tessaron-convert.exe" --help 2>&1 || true)
[[ $usage == "usage: tessaron-convert"* ]] || fail "tessaron-convert.exe printed '$usage'"

[ -f "$target/Uninstall.exe" ] || fail "no uninstaller"
"$wine" "$windows_target\\Uninstall.exe" /S || fail "the uninstaller ended with $?"
# The uninstaller runs on from a copy of itself and returns at once.
gone() { [ ! -e "$target/bin" ] && [ ! -e "$menu" ]; }
waitfor gone || fail "files left after uninstalling: $(find "$target" "$menu" 2>/dev/null | head)"
rm -rf "$target"
echo "installed, ran $version, uninstalled"
