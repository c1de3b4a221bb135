#include "fakeencoder.h"

#include "encoder/lame/lameencoder.h"
#include "testenvironment.h"

bool writeFakeEncoder(const QString& folder)
{
    return writeScript(folder + QLatin1Char('/') + LameEncoder::resourceName(), R"(#!/bin/sh
input=""; output=""; take=0
for arg in "$@"; do
  if [ "$take" = 1 ]; then output="$arg"; take=0; fi
  case "$arg" in *.aiff) input="$arg"; take=1;; esac
done
case "$input" in
  *Fail*) echo "Could not read $input" >&2; exit 2;;
  *Crash*) kill -KILL $$;;
  *Wait*) echo "partial" > "$output"; n=${input##*Wait}; n=${n%%.aiff}; sleep $(( (9 - n) * 3 / 4 )); printf '|    0:0%s \n' "$n"; sleep 6;;
esac
printf '    1/1    (100%%)|    0:00/    0:00|    0:00/    0:00|   1.0000x|    0:00 \n'
i=0; while [ $i -lt 64 ]; do printf '%1024s' ''; i=$((i + 1)); done > "$output"
exit 0
)");
}
