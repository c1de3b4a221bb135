#!/usr/bin/env bash
# Wall time of vesk-rip with the AccurateRip check on against the same rip with it off, for a
# disc image (the checksums taken as the spool reads) and for a folder of the disc's WAV files
# (read once more alongside the encoder). The database is a local vesk-web-server that does not
# know the disc, so the figures hold the request too. Runs alternate; medians are compared.
# Usage: bench-accuraterip.sh BUILD_DIR [TRACKS=10] [SECONDS_PER_TRACK=30] [RUNS=5]
set -euo pipefail
# shellcheck source=../benchdisc.sh
. "$(dirname "$0")/../benchdisc.sh"
build=$(realpath "$1")
tracks=${2:-10}
seconds=${3:-30}
runs=${4:-5}
veskrip="$build/vesk-rip"
server="$build/tools/webserver/vesk-web-server"

work=$(mktemp -d)
cleanup() { [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
mkdir -p "$work/db"
make_disc "$work" "$tracks" "$seconds"

"$server" "$work/db" > "$work/url" &
pid=$!
for _ in $(seq 50); do [ -s "$work/url" ] && break; sleep 0.1; done
url=$(head -1 "$work/url")

rip() { # SOURCE OUT [options]: seconds taken
  local source=$1 out=$2; shift 2
  rm -rf "$out"
  local start; start=$(now)
  "$veskrip" --server "" --no-musicbrainz --output "$out" --preset standard "$@" "$source" > /dev/null 2> "$work/rip.log"
  calc "$(now) - $start"
}

for kind in image folder; do
  source=$([ "$kind" = image ] && echo "$work/disc.cue" || echo "$work/wav")
  : > "$work/on"; : > "$work/off"
  for _ in $(seq 1 "$runs"); do
    rip "$source" "$work/out" --accuraterip-url "$url" >> "$work/on"; echo >> "$work/on"
    grep -q "AccurateRip" "$work/rip.log" || { echo "no AccurateRip line in the rip with the check on" >&2; exit 1; }
    rip "$source" "$work/out" --no-accuraterip >> "$work/off"; echo >> "$work/off"
  done
  on=$(median < "$work/on"); off=$(median < "$work/off")
  echo "bench-accuraterip ($kind): $tracks tracks of $seconds s, median of $runs runs"
  echo "  check on: $on s   check off: $off s   on / off: $(calc "$on / $off")"
done
