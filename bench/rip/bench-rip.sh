#!/usr/bin/env bash
# Wall time of vesk-rip sessions against plain lame runs with the same arguments: one encoder
# against a loop of lame runs, and JOBS encoders against `xargs -P JOBS lame` (the limit).
# Usage: bench-rip.sh VESK_RIP [TRACKS=8] [SECONDS_PER_TRACK=30] [ROUNDS=3] [JOBS=cores, at most 8]
set -euo pipefail
veskrip=$(realpath "$1")
tracks=${2:-8}
seconds=${3:-30}
rounds=${4:-3}
jobs=${5:-$(nproc)}
(( jobs > 8 )) && jobs=8
preset="--nohist --preset standard"   # the basic preset vesk-rip's --preset standard selects

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/cd"
for i in $(seq 1 "$tracks"); do
  # Noise under a tone: the encoder works about as hard as on music, unlike on a pure tone.
  sox -n -r 44100 -c 2 -b 16 "$work/cd/$i Audio Track.aiff" synth "$seconds" pinknoise \
      synth "$seconds" sine mix $((200 + 40 * i)) vol 0.5
done

now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }

# session_once JOBS: one vesk-rip session into $work/session-JOBS.
session_once() {
  rm -rf "$work/session-$1"
  local start; start=$(now)
  "$veskrip" --jobs "$1" --output "$work/session-$1" --preset standard "$work/cd" > "$work/session.log"
  calc "$(now) - $start"
}

# lame_once JOBS: the same encodings as plain lame runs, JOBS at a time, into $work/lame-JOBS.
lame_once() {
  rm -rf "$work/lame-$1"; mkdir -p "$work/lame-$1"
  local start; start=$(now)
  # shellcheck disable=SC2016,SC2086  # the preset is a list of words; $0 expands in the child
  seq 1 "$tracks" | xargs -P "$1" -I{} sh -c 'cd "$0" && exec lame '"$preset"' --add-id3v2 --disptime 5 \
      "$1/{} Audio Track.aiff" "$0/0{} -  Audio Track.mp3" > /dev/null 2>&1' "$work/lame-$1" "$work/cd"
  calc "$(now) - $start"
}

echo "vesk-rip against plain lame: $tracks tracks of $seconds s, $rounds rounds, $jobs encoders at once," \
     "preset \"$preset\" ($(nproc) cores; other work on the machine shows in the figures)"
declare -A total=([s1]=0 [l1]=0 [sN]=0 [lN]=0)
for r in $(seq 1 "$rounds"); do
  # Alternate the order so that neither side always runs on a warmer cache.
  if (( r % 2 )); then order="s1 l1 sN lN"; else order="lN sN l1 s1"; fi
  declare -A t=()
  for m in $order; do
    n=1; [[ $m == ?N ]] && n=$jobs
    if [[ $m == s? ]]; then t[$m]=$(session_once "$n"); else t[$m]=$(lame_once "$n"); fi
    total[$m]=$(calc "${total[$m]} + ${t[$m]}")
  done
  printf 'round %d: vesk-rip -j1 %7.3f s  lame loop %7.3f s  vesk-rip -j%d %7.3f s  xargs -P %d lame %7.3f s\n' \
    "$r" "${t[s1]}" "${t[l1]}" "$jobs" "${t[sN]}" "$jobs" "${t[lN]}"
done
printf 'total:   vesk-rip -j1 %7.3f s  lame loop %7.3f s  vesk-rip -j%d %7.3f s  xargs -P %d lame %7.3f s\n' \
  "${total[s1]}" "${total[l1]}" "$jobs" "${total[sN]}" "$jobs" "${total[lN]}"
ratio=$(calc "${total[s1]} / ${total[l1]}")
printf 'one encoder:  vesk-rip / lame loop %.4f (%+.2f %%)\n' "$ratio" "$(calc "($ratio - 1) * 100")"
vesk_speedup=$(calc "${total[s1]} / ${total[sN]}")
lame_speedup=$(calc "${total[l1]} / ${total[lN]}")
printf '%d encoders:   vesk-rip -j%d takes %.4f of -j1 (speed-up %.3f); xargs -P %d speed-up %.3f;' \
  "$jobs" "$jobs" "$(calc "${total[sN]} / ${total[s1]}")" "$vesk_speedup" "$jobs" "$lame_speedup"
printf ' vesk-rip reaches %.3f of the plain parallel speed-up (target 0.9)\n' \
  "$(calc "$vesk_speedup / $lame_speedup")"
for m in 1 "$jobs"; do
  cmp <(cd "$work/session-$m/Artist - Title" && ls) <(cd "$work/lame-$m" && ls) > /dev/null ||
    { echo "vesk-rip -j$m and lame made different files" >&2; exit 1; }
done
