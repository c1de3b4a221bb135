#!/usr/bin/env bash
# Wall time and peak memory of vesk-rip ripping a disc image (reading and encoding at once)
# against reading every track first and then encoding them JOBS at a time (cd-paranoia -B where
# it reads the image, else vesk-cdread), and against `xargs -P JOBS lame` on tracks already
# extracted: the limit, since it reads nothing.
# Usage: bench-drive.sh BUILD_DIR [TRACKS=10] [SECONDS_PER_TRACK=30] [JOBS=cores, at most 8]
set -euo pipefail
build=$(realpath "$1")
tracks=${2:-10}
seconds=${3:-30}
jobs=${4:-$(nproc)}
(( jobs > 8 )) && jobs=8
veskrip="$build/vesk-rip"
cdread="$build/tools/cdread/vesk-cdread"
preset="--nohist --preset standard"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/raw"
# Noise under a tone, so that the encoder works about as hard as on music; whole CD sectors.
{
  echo 'FILE "disc.bin" BINARY'
  sector=0
  for i in $(seq 1 "$tracks"); do
    sox -n -r 44100 -c 2 -b 16 -e signed -L "$work/raw/$i.raw" synth "$seconds" pinknoise \
        synth "$seconds" sine mix $((200 + 40 * i)) vol 0.5
    printf '  TRACK %02d AUDIO\n    INDEX 01 %02d:%02d:%02d\n' "$i" $((sector / 4500)) $((sector / 75 % 60)) $((sector % 75))
    sector=$((sector + $(stat -c %s "$work/raw/$i.raw") / 2352))
  done
} > "$work/disc.cue"
for i in $(seq 1 "$tracks"); do cat "$work/raw/$i.raw"; done > "$work/disc.bin"

now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"%.2f\", $1 }"; }
# peak KB of a command (GNU time), or "?" without it
peak() { if [ -x /usr/bin/time ]; then /usr/bin/time -f %M -o "$work/peak" "$@"; else echo "?" > "$work/peak"; "$@"; fi; }

encode_all() { # DIR: the raw tracks in DIR encoded JOBS at a time
  # shellcheck disable=SC2016,SC2086
  seq 1 "$tracks" | xargs -P "$jobs" -I{} sh -c 'exec lame '"$preset"' -r -s 44.1 --bitwidth 16 --signed --little-endian "$0/{}.raw" "$0/{}.mp3" > /dev/null 2>&1' "$1"
}

start=$(now)
peak "$veskrip" --server "" --no-musicbrainz --jobs "$jobs" --output "$work/session" --preset standard \
    "$work/disc.cue" > /dev/null 2> "$work/session.log"
session_peak=$(cat "$work/peak")
session=$(calc "$(now) - $start")

mkdir -p "$work/read"
start=$(now)
if command -v cd-paranoia > /dev/null && (cd "$work/read" && cd-paranoia -q -d "$work/disc.cue" -B > /dev/null 2>&1); then
  reader="cd-paranoia -B"
  i=1; for f in "$work"/read/track*.cdda.wav; do sox "$f" -t raw "$work/read/$i.raw"; i=$((i + 1)); done
else
  reader="vesk-cdread (no cd-paranoia for images here)"
  for i in $(seq 1 "$tracks"); do "$cdread" "$work/disc.cue" "$i" "$work/read/$i.raw" > /dev/null 2>&1; done
fi
encode_all "$work/read"
read_then_encode=$(calc "$(now) - $start")

start=$(now)
encode_all "$work/raw"
limit=$(calc "$(now) - $start")

echo "bench-drive: $tracks tracks of $seconds s, $jobs encoders"
echo "  vesk-rip, reading and encoding at once:  $session s (peak memory ${session_peak} KB)"
echo "  $reader, then xargs -P $jobs lame:  $read_then_encode s"
echo "  xargs -P $jobs lame on extracted tracks (the limit):  $limit s"
echo "  vesk-rip / limit: $(calc "$session / $limit")   vesk-rip / read-then-encode: $(calc "$session / $read_then_encode")"
