#!/usr/bin/env bash
# Wall time of a vesk-rip session against a plain loop of lame runs with the same arguments.
# Usage: bench-rip.sh VESK_RIP [TRACKS=8] [SECONDS_PER_TRACK=30] [ROUNDS=3]
set -euo pipefail
veskrip=$(realpath "$1")
tracks=${2:-8}
seconds=${3:-30}
rounds=${4:-3}
preset="--nohist --preset standard"   # the basic preset vesk-rip's --preset standard selects

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/cd"
for i in $(seq 1 "$tracks"); do
  sox -n -r 44100 -c 2 -b 16 "$work/cd/$i Audio Track.aiff" synth "$seconds" sine $((200 + 40 * i))
done

now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }

session_once() {
  rm -rf "$work/session"
  local start; start=$(now)
  "$veskrip" --output "$work/session" --preset standard "$work/cd" > "$work/session.log"
  calc "$(now) - $start"
}

loop_once() {
  rm -rf "$work/loop"; mkdir -p "$work/loop"
  local start; start=$(now)
  for i in $(seq 1 "$tracks"); do
    # shellcheck disable=SC2086  # the preset is a list of words
    (cd "$work/loop" && lame $preset --add-id3v2 --disptime 5 "$work/cd/$i Audio Track.aiff" \
        "$work/loop/0$i -  Audio Track.mp3" > "$work/loop.log" 2>&1)
  done
  calc "$(now) - $start"
}

echo "vesk-rip against a lame loop: $tracks tracks of $seconds s, $rounds rounds, preset \"$preset\""
total_session=0; total_loop=0
for r in $(seq 1 "$rounds"); do
  # Alternate the order so that neither side always runs on a warmer cache.
  if (( r % 2 )); then s=$(session_once); l=$(loop_once); else l=$(loop_once); s=$(session_once); fi
  printf 'round %d: vesk-rip %7.3f s   lame loop %7.3f s   ratio %.4f\n' "$r" "$s" "$l" "$(calc "$s / $l")"
  total_session=$(calc "$total_session + $s"); total_loop=$(calc "$total_loop + $l")
done
ratio=$(calc "$total_session / $total_loop")
printf 'total:   vesk-rip %7.3f s   lame loop %7.3f s   ratio %.4f (%+.2f %%)\n' \
  "$total_session" "$total_loop" "$ratio" "$(calc "($ratio - 1) * 100")"
cmp <(cd "$work/session/Artist - Title" && ls) <(cd "$work/loop" && ls) > /dev/null ||
  { echo "the two runs made different files" >&2; exit 1; }
