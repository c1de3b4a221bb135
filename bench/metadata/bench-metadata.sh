#!/usr/bin/env bash
# Wall time of vesk-rip with the front cover and ReplayGain on against the same rip with both
# off, for a disc image and for a folder of its WAV files. No CDDB server answers (127.0.0.1:8880
# is expected to refuse); the titles come from a local
# vesk-musicbrainz-server that knows the disc's release, the cover (a 500 × 500 JPEG) from a local
# vesk-web-server standing in for the Cover Art Archive. Runs alternate; medians are compared.
# Usage: bench-metadata.sh BUILD_DIR [TRACKS=10] [SECONDS_PER_TRACK=30] [RUNS=5]
# (Debian: sox, imagemagick)
set -euo pipefail
# shellcheck source=../benchdisc.sh
. "$(dirname "$0")/../benchdisc.sh"
build=$(realpath "$1")
tracks=${2:-10}
seconds=${3:-30}
runs=${4:-5}
veskrip="$build/vesk-rip"
mbserver="$build/tools/musicbrainzserver/vesk-musicbrainz-server"
webserver="$build/tools/webserver/vesk-web-server"
release=0b1a5e00-0000-4000-8000-00000000be4c

work=$(mktemp -d)
cleanup() { for p in ${pids:-}; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"; }
trap cleanup EXIT
mkdir -p "$work/mb" "$work/caa/release/$release"
make_disc "$work" "$tracks" "$seconds"
convert -size 500x500 plasma:fractal -quality 90 "jpeg:$work/caa/release/$release/front-500"

# The release, filed under the disc's table of contents as the stand-in finds it.
toc="1+$tracks+$((sector + 150))"
for o in "${offsets[@]}"; do toc="$toc+$o"; done
{
  printf '{"releases":[{"id":"%s","title":"Bench","date":"2020","country":"XW",' "$release"
  printf '"cover-art-archive":{"front":true,"artwork":true,"count":1},'
  printf '"release-group":{"id":"0b1a5e00-0000-4000-9000-00000000be4c"},'
  printf '"artist-credit":[{"name":"Bench Band","joinphrase":"","artist":{"id":"0b1a5e00-0000-4000-a000-00000000be4c","name":"Bench Band"}}],'
  printf '"media":[{"position":1,"format":"CD","track-count":%d,"tracks":[' "$tracks"
  for i in $(seq 1 "$tracks"); do
    [ "$i" -gt 1 ] && printf ','
    printf '{"position":%d,"number":"%d","title":"Song %d","recording":{"id":"0b1a5e00-0000-4000-b000-%012d","title":"Song %d"}}' "$i" "$i" "$i" "$i" "$i"
  done
  printf ']}]}]}\n'
} > "$work/mb/$toc.json"

"$mbserver" --port 0 --port-file "$work/mbport" "$work/mb" 2> /dev/null &
pids="$!"
"$webserver" "$work/caa" > "$work/caaurl" &
pids="$pids $!"
for _ in $(seq 50); do [ -s "$work/mbport" ] && [ -s "$work/caaurl" ] && break; sleep 0.1; done
mburl="http://127.0.0.1:$(head -1 "$work/mbport")"
caaurl=$(head -1 "$work/caaurl")

rip() { # SOURCE [options]: seconds taken
  local source=$1; shift
  rm -rf "$work/out"
  local start; start=$(now)
  "$veskrip" --server 127.0.0.1 --musicbrainz-url "$mburl" --coverart-url "$caaurl" --no-accuraterip --id3-tags \
      --output "$work/out" --preset standard "$@" "$source" > /dev/null 2> "$work/rip.log"
  calc "$(now) - $start"
}

for kind in image folder; do
  source=$([ "$kind" = image ] && echo "$work/disc.cue" || echo "$work/wav")
  : > "$work/on"; : > "$work/off"
  for _ in $(seq 1 "$runs"); do
    rip "$source" >> "$work/on"; echo >> "$work/on"
    ls "$work"/out/*/cover.jpg > /dev/null 2>&1 || { echo "no cover.jpg from the rip with the cover on" >&2; cat "$work/rip.log" >&2; exit 1; }
    rip "$source" --no-cover-art --no-replaygain >> "$work/off"; echo >> "$work/off"
  done
  on=$(median < "$work/on"); off=$(median < "$work/off")
  echo "bench-metadata ($kind): $tracks tracks of $seconds s, median of $runs runs"
  echo "  cover art and ReplayGain on: $on s   both off: $off s   on / off: $(calc "$on / $off")"
done
