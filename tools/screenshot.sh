#!/usr/bin/env bash
# Starts the main window under a virtual X server and saves a picture of it.
# Usage: tools/screenshot.sh [build-dir] [output.png]    (Debian: xvfb, x11-utils, imagemagick, sox)
# The window shows a demo disc whose titles come from our CDDB server on 127.0.0.1:8880.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
output="${2:-$root/docs/mainwindow.png}"
program="$build/vesk"
[ -x "$program" ] || { echo "no $program: build first" >&2; exit 1; }

work="$(mktemp -d)"
cleanup() {
    [ -n "${app:-}" ] && kill "$app" 2>/dev/null || true
    [ -n "${server:-}" ] && kill "$server" 2>/dev/null || true
    [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A clean home holding a typical user's preferences, so the picture shows ordinary paths.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME/Music" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
cat >"$XDG_CONFIG_HOME/org.vesk.Vesk.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0">
<dict>
	<key>AudioCDLocation</key><string>WORK/Audio CD</string>
	<key>OutputDirectory</key><string>/home/alex/Music</string>
	<key>MP3NameStyle</key><string>%d - %t.mp3</string>
	<key>BasicConfigOption</key><string>--nohist --preset standard</string>
	<key>ConfigOptionSelected</key><integer>0</integer>
	<key>ExpertConfigOption</key><string>--nohist -V 2 -q 2, --nohist -V 0</string>
	<key>ExpertConfigOptionSelected</key><integer>0</integer>
	<key>AddID3Tags</key><integer>1</integer>
	<key>CreateReleaseFiles</key><integer>1</integer>
	<key>SoundAlertWhenFinished</key><integer>1</integer>
	<key>FreedbServer</key><string>127.0.0.1</string>
	<key>UseMusicBrainz</key><integer>0</integer>
</dict>
</plist>
PLIST

sed -i "s|WORK|$work|" "$XDG_CONFIG_HOME/org.vesk.Vesk.plist"
DEMO_SECONDS="184 207 95 301 242 133" "$root/tools/make-demo-disc/make-demo-disc" "$work/Audio CD" "$work/cddb" >/dev/null
"$build/tools/cddbserver/vesk-cddb-server" --port 8880 "$work/cddb" >"$work/cddb.log" 2>&1 &
server=$!

display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1280x900x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
export DISPLAY="$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

QT_QPA_PLATFORM=xcb "$program" >"$work/vesk.log" 2>&1 &
app=$!
window=""
for _ in $(seq 100); do
    window="$(xwininfo -root -tree 2>/dev/null | awk '/"Vesk": \("vesk"/ {print $1; exit}')"
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "the window did not appear" >&2; cat "$work/vesk.log" >&2; exit 1; }
sleep 3 # let it look the disc up and paint
mkdir -p "$(dirname "$output")"
import -window "$window" "$output"
echo "saved $output"
