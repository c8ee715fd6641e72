#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks that everything lands
# where a desktop looks for it, and that the menu entry is a valid one. On a
# test display ($QUILLON_TEST_DISPLAY) it then starts the installed program
# twice: one copy runs, and it keeps its files in the user's data folder.
set -euo pipefail
build_dir=$1
prefix=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
  rm -rf "$prefix"
}
trap cleanup EXIT
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

if [ -n "${QUILLON_TEST_DISPLAY:-}" ]; then
  home="$prefix/home"
  mkdir -p "$home/run" "$home/data" "$home/config"
  chmod 700 "$home/run"
  run_installed() {
    exec env -u QUILLON_DESKTOP -u QT_QPA_PLATFORM -u QUILLON_COUNTER_URL \
      DISPLAY="$QUILLON_TEST_DISPLAY" XDG_RUNTIME_DIR="$home/run" \
      XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" \
      XDG_CONFIG_DIRS="$home/xdg" "$prefix/bin/quillon" "$@"
  }
  windows_of() { DISPLAY="$QUILLON_TEST_DISPLAY" xdotool search --pid "$1" --name '^Quillon $' 2>/dev/null || true; }
  run_installed >/dev/null 2>&1 &
  first=$!
  pids+=("$first")
  for _ in $(seq 100); do
    [ -n "$(windows_of "$first")" ] && break
    sleep 0.1
  done
  [ -n "$(windows_of "$first")" ] || fail "the installed program shows no window"
  # Installed mode: the program's folders are the user's, nothing beside bin.
  for dir in script tools cfg; do
    [ -d "$home/data/quillon/$dir" ] || fail "no $dir in the user's data folder"
  done
  [ ! -e "$prefix/bin/script" ] || fail "folders made beside the installed program"
  run_installed >/dev/null 2>&1 &
  second=$!
  pids+=("$second")
  for _ in $(seq 100); do
    kill -0 "$second" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$second" 2>/dev/null && fail "a second copy keeps running"
  wait "$second" || fail "the second copy did not end with 0"
  kill -0 "$first" 2>/dev/null || fail "the first copy ended"
  [ "$(pgrep -c -f "^$prefix/bin/quillon" || true)" = 1 ] || fail "not exactly one copy running"
  kill -TERM "$first"
  wait "$first" || fail "the first copy did not end with 0 on SIGTERM"
fi
echo "install: ok"
