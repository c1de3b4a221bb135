# Sourced by the rip benchmarks: a generated disc and the timing helpers they share.

# make_disc WORK TRACKS SECONDS: WORK/disc.bin and WORK/disc.cue, a disc image of TRACKS tracks of
# noise under a tone (so that the encoder works about as hard as on music), whole CD sectors, and
# the same tracks as WORK/wav/Track N.wav. Sets offsets (each track's start with the lead-in, as a
# table of contents gives it) and sector (the lead-out, without it).
make_disc() {
  local work=$1 tracks=$2 seconds=$3 i
  mkdir -p "$work/raw" "$work/wav"
  offsets=()
  sector=0
  {
    echo 'FILE "disc.bin" BINARY'
    for i in $(seq 1 "$tracks"); do
      sox -n -r 44100 -c 2 -b 16 -e signed -L "$work/raw/$i.raw" synth "$seconds" pinknoise \
          synth "$seconds" sine mix $((200 + 40 * i)) vol 0.5
      sox -r 44100 -c 2 -b 16 -e signed -L "$work/raw/$i.raw" "$work/wav/Track $i.wav"
      printf '  TRACK %02d AUDIO\n    INDEX 01 %02d:%02d:%02d\n' "$i" $((sector / 4500)) $((sector / 75 % 60)) $((sector % 75))
      offsets+=($((sector + 150)))
      sector=$((sector + $(stat -c %s "$work/raw/$i.raw") / 2352))
    done
  } > "$work/disc.cue"
  for i in $(seq 1 "$tracks"); do cat "$work/raw/$i.raw"; done > "$work/disc.bin"
}

now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"%.3f\", $1 }"; }
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
