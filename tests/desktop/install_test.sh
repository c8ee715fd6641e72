#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks that everything lands
# where a desktop looks for it, and that the menu entry is a valid one.
set -euo pipefail
build_dir=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build_dir" --prefix "$prefix" >/dev/null

fail() { echo "install: $*" >&2; exit 1; }
[ -x "$prefix/bin/quillon" ] || fail "no program in bin"
entry="$prefix/share/applications/quillon.desktop"
[ -f "$entry" ] || fail "no menu entry"
desktop-file-validate "$entry" || fail "menu entry does not validate"
grep -qx 'Name=Quillon' "$entry" || fail "entry is not named Quillon"
grep -q '^Comment=' "$entry" || fail "no English comment"
grep -q '^Comment\[zh_CN\]=' "$entry" || fail "no Chinese comment"
grep -qx 'Icon=quillon' "$entry" || fail "entry names no icon"
for size in 16 32 48 256; do
  [ -f "$prefix/share/icons/hicolor/${size}x${size}/apps/quillon.png" ] || fail "no ${size}px icon"
done
[ -d "$prefix/share/quillon" ] || fail "no share/quillon folder"
[ -s "$prefix/share/quillon/help.txt" ] || fail "no manual in share/quillon"
echo "install: ok"
