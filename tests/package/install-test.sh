#!/usr/bin/env bash
# Installs the Debian package into a temporary root (dpkg -x), checks what it
# holds, and starts the program from there with a temporary home on a private
# X server (Xvfb; offscreen without one): it must start, show its window, make
# the user's database in the user's data folder and write nothing of its own.
# Usage: tests/package/install-test.sh vorn_VERSION_ARCH.deb
set -euo pipefail
deb=$(realpath "$1")
tmp=$(mktemp -d "${TMPDIR:-/tmp}/vorn-package-XXXXXX")
desk=
xserver=
cleanup() {
  local status=$?
  if [ -n "$desk" ] && kill "$desk" 2>/dev/null; then wait "$desk" 2>/dev/null || true; fi
  if [ -n "$xserver" ] && kill "$xserver" 2>/dev/null; then wait "$xserver" 2>/dev/null || true; fi
  chmod -R u+w "$tmp" 2>/dev/null || true
  rm -rf "$tmp"
  exit "$status"
}
trap cleanup EXIT
fail() { echo "package test: $*" >&2; exit 1; }

# What the package holds and needs.
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/vorn ./usr/share/vorn/help.html ./usr/share/applications/vorn.desktop \
         ./usr/share/icons/hicolor/64x64/apps/vorn.png; do
  grep -qx -- "$f" <<<"$contents" || fail "$f is not in the package"
done
# The sound module, in the libraries' folder of its own (the program finds it from itself).
grep -qE '^\./usr/lib/([^/]+/)?vorn/vorn-gstreamer\.so$' <<<"$contents" ||
  fail "the sound module is not in the package"
depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6widgets6 libqt6sql6-sqlite libgstreamer1.0-0 gstreamer1.0-plugins-good libasound2; do
  grep -q "\b$p\b" <<<"$depends" || fail "Depends lacks $p: $depends"
done

# Installed into a root of its own; the program's folders are not writable.
root=$tmp/root
dpkg -x "$deb" "$root"
chmod -R a-w "$root/usr"
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/applications/vorn.desktop |
  grep -qx 'Exec=vorn' || fail "the menu entry does not start vorn"

# A user who has never run it: an empty home, nothing of the caller's.
mkdir -p "$tmp/home" "$tmp/runtime"
chmod 700 "$tmp/runtime"
log=$tmp/desk.log

# A screen of its own, never the caller's.
screen=(QT_QPA_PLATFORM=offscreen)
if command -v Xvfb >/dev/null; then
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.log" &
  xserver=$!
  for _ in $(seq 100); do
    [ -s "$tmp/display" ] && break
    sleep 0.1
  done
  [ -s "$tmp/display" ] || { cat "$tmp/xvfb.log" >&2; fail "Xvfb did not start"; }
  screen=(QT_QPA_PLATFORM=xcb DISPLAY=":$(head -n1 "$tmp/display")")
fi

user_env=(PATH=/usr/bin:/bin HOME="$tmp/home" XDG_DATA_HOME="$tmp/home/data"
  XDG_CONFIG_HOME="$tmp/home/config" XDG_CACHE_HOME="$tmp/home/cache"
  XDG_RUNTIME_DIR="$tmp/runtime" LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen)
touch "$tmp/started"
sleep 1

# The tools that only read find no database yet and make none.
status=0
env -i "${user_env[@]}" "$root/usr/bin/vorn" --check >"$tmp/check.out" 2>&1 || status=$?
[ "$status" = 2 ] || { cat "$tmp/check.out" >&2; fail "vorn --check without a database gave $status, not 2"; }
[ ! -e "$tmp/home/data/vorn" ] || fail "vorn --check made the user's data folder"

env -i "${user_env[@]}" "${screen[@]}" \
  VORN_MESSAGES=stderr VORN_AUDIO_SINK='fakesink sync=true' VORN_POWEROFF_COMMAND=false \
  VORN_INSTANCE_KEY="vorn-package-test-$$" \
  "$root/usr/bin/vorn" >"$log" 2>&1 &
desk=$!

db=$tmp/home/data/vorn/gsk.db
for _ in $(seq 100); do
  [ -s "$db" ] && break
  kill -0 "$desk" 2>/dev/null || break
  sleep 0.1
done
sleep 2
kill -0 "$desk" 2>/dev/null || { cat "$log" >&2; fail "the program did not keep running"; }
[ -s "$db" ] || { cat "$log" >&2; fail "no database was made in $db"; }
if [ -n "$xserver" ] && command -v xdotool >/dev/null; then
  env "${screen[@]:1}" xdotool search --onlyvisible --pid "$desk" >/dev/null ||
    { cat "$log" >&2; fail "the program shows no window"; }
fi
head -c 16 "$db" | grep -q 'SQLite format 3' || fail "$db is not a database"
# The tools read the database the desk made.
status=0
env -i "${user_env[@]}" "$root/usr/bin/vorn" --check >"$tmp/check.out" 2>&1 || status=$?
[ "$status" -le 1 ] || { cat "$tmp/check.out" >&2; fail "vorn --check cannot read $db"; }
env -i "${user_env[@]}" "$root/usr/bin/vorn" --export-log 2020-01-01 2020-01-02 >"$tmp/log.csv" ||
  fail "vorn --export-log cannot read $db"
[ "$(stat -c %a "$tmp/home/data/vorn")" = 700 ] || fail "the user's data folder is not private"
if grep -q '错误' "$log"; then cat "$log" >&2; fail "the program reported an error"; fi
if grep -q '声音模块' "$log"; then cat "$log" >&2; fail "the program did not load its sound module"; fi
find "$root" -newer "$tmp/started" -type f | grep -q . && fail "the program wrote into its own folders"
echo "package test: $(basename "$deb") installs and starts; database made in the user's data folder"
