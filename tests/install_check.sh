#!/bin/sh
# Installs the build into a temporary prefix and checks what a desktop needs
# from it: the three programs and their manual pages, the menu entry
# and the icon that entry names.
# usage: install_check.sh CMAKE BUILD_DIR
set -eu
cmake=$1
build=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "install check: $*" >&2; exit 1; }

"$cmake" --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install failed"
for program in qora-upgrader qora-upgrader-cli qora-terminal-sim; do
  [ -x "$prefix/bin/$program" ] || fail "no bin/$program"
  grep -q "^\.TH .*QORA upgrader [0-9]" "$prefix/share/man/man1/$program.1" || fail "no manual page of $program"
done
# Installed, it still finds its libraries.
"$prefix/bin/qora-upgrader-cli" --help >/dev/null || fail "the installed front end does not start"

entry=$prefix/share/applications/qora-upgrader.desktop
icon=$prefix/share/icons/hicolor/scalable/apps/qora-upgrader.svg
[ -f "$entry" ] || fail "no menu entry"
[ -f "$icon" ] || fail "no icon"
# A folder opened with it from a file manager arrives as its one argument.
for line in Type=Application 'Exec=qora-upgrader %f' Icon=qora-upgrader Terminal=false 'Categories=Utility;Network;' \
    'MimeType=inode/directory;'; do
  grep -qx "$line" "$entry" || fail "the menu entry lacks $line"
done
# The program works in the folder it is given or started from, the one holding the package.
if grep -q '^Path=' "$entry"; then fail "the menu entry sets a working folder"; fi
if command -v desktop-file-validate >/dev/null 2>&1; then
  desktop-file-validate "$entry" || fail "desktop-file-validate refuses the menu entry"
fi
python3 -c 'import sys, xml.etree.ElementTree as E
sys.exit(E.parse(sys.argv[1]).getroot().tag != "{http://www.w3.org/2000/svg}svg")' "$icon" || fail "the icon is no SVG"
