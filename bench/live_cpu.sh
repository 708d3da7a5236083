#!/usr/bin/env bash
# The live path end to end: the simulator streams both channels' samples at
# the charger's own pace, then at a paced rate over a pseudo-terminal,
# written every 1 ms or 16 ms as USB adapters deliver them; the program runs
# under Xvfb, started with --start, on the statistics page, the chart page
# or the settings page (neither logs nor chart in sight). Reports the time
# to the first window, the program's CPU seconds a minute (from /proc), and
# then the highest packet rate it takes without falling behind.
#
# A shared machine's speed drifts by some 15 % from minute to minute, so
# each case runs several times and the median is the figure.
#
#   bench/live_cpu.sh [seconds per run, default 30] [runs per case, default 3]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
secs=${1:-30}
runs=${2:-3}
build=$root/build
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
link=$work/charger
printf '[ComPort1]\r\nPort=%s\r\n' "$link" > "$work/zlt.ini"
cp "$build/app/ostrel" "$work/ostrel"
mkdir -p "$work/locale"
hz=$(getconf CLK_TCK)

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

# One run: rate bytes/s ("pace": the charger's own, a sample a second a
# channel), write period, page ("stats", "chart" or "setup": no log and no
# chart in sight), seconds, and seconds of warm-up before they count.
# Prints "cpu-seconds-per-minute backlog-bytes sent-bytes".
run() {
  local rate=$1 ms=$2 page=$3 time=$4 warm=${5:-2}
  local paced=()
  [[ $rate != pace ]] && paced=(--rate "$rate" --write-ms "$ms")
  "$build/tools/chargesim/ostrel-chargesim" --link "$link" "${paced[@]}" > "$work/sim.txt" &
  local sim=$!
  sleep 0.5
  XDG_STATE_HOME=$work/state XDG_DATA_HOME=$work/data "$work/ostrel" --start > /dev/null 2>&1 &
  local app=$!
  sleep 2
  case $page in
    chart) xdotool mousemove 330 132 click 1 ;;
    setup) xdotool mousemove 416 132 click 1 ;;
  esac
  sleep "$((warm > 2 ? warm - 2 : 0))"
  local t0 t1
  t0=$(ticks $app)
  sleep "$time"
  t1=$(ticks $app)
  kill -TERM $sim
  wait $sim || true
  kill $app
  wait $app 2> /dev/null || true
  rm -rf "$work/state" "$work/data"
  local backlog sent
  sent=$(sed -n 's/^paced: sent \([0-9]*\) bytes.*/\1/p' "$work/sim.txt")
  backlog=$(sed -n 's/.*, \([0-9]*\) bytes not taken/\1/p' "$work/sim.txt")
  awk -v a="$t0" -v b="$t1" -v hz="$hz" -v t="$time" -v bl="$backlog" -v s="$sent" \
    'BEGIN { printf "%.2f %d %d\n", (b - a) / hz * 60 / t, bl, s }'
}

# A display of our own for the program and the page click.
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 > /dev/null 2>&1 &
export DISPLAY=$display
sleep 1

# Start to first window: from the exec to the window mapped on the display.
start=$(date +%s%N)
XDG_STATE_HOME=$work/state "$work/ostrel" > /dev/null 2>&1 &
app=$!
until xdotool search --onlyvisible --name '^Ostrel$' > /dev/null 2>&1; do sleep 0.005; done
end=$(date +%s%N)
kill $app
wait $app 2> /dev/null || true
rm -rf "$work/state"
echo "Start to first window: $(( (end - start) / 1000000 )) ms"

# A laptop logging overnight: the charger's own pace, after a minute in
# which the logs have grown past the first screenful.
echo "CPU seconds a minute at the charger's pace (a sample a second a channel), after a minute, median of $runs runs of $secs s:"
for page in stats chart setup; do
  figures=()
  for ((i = 0; i < runs; i++)); do
    read -r cpu _ < <(run pace 0 "$page" "$secs" 60)
    figures+=("$cpu")
  done
  median=$(printf '%s\n' "${figures[@]}" | sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}')
  printf '  %-5s page: %6s CPU-s/min (runs: %s)\n' "$page" "$median" "$(printf '%s\n' "${figures[@]}" | sort -g | tr '\n' ' ')"
done

echo "CPU seconds a minute at the line rate (3840 bytes/s, 768 packets/s), median of $runs runs of $secs s:"
for ms in 1 16; do
  for page in stats chart setup; do
    figures=() worst=0
    for ((i = 0; i < runs; i++)); do
      read -r cpu backlog _ < <(run 3840 "$ms" "$page" "$secs")
      figures+=("$cpu")
      ((backlog > worst)) && worst=$backlog
    done
    sorted=$(printf '%s\n' "${figures[@]}" | sort -g | tr '\n' ' ')
    median=$(printf '%s\n' "${figures[@]}" | sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}')
    printf '  %2d ms writes, %-5s page: %6s CPU-s/min (runs: %s; largest backlog %s bytes)\n' \
      "$ms" "$page" "$median" "${sorted% }" "$worst"
  done
done
# Keeping up means the bytes the program has not taken stay within a
# delivery or two (well under 0.1 s of data) however long the run; falling
# behind shows as a backlog of seconds.
echo "Highest rate taken without falling behind (1 ms writes, statistics page, 10 s each):"
for rate in 100000 200000 400000 800000 1600000; do
  read -r cpu backlog _ < <(run "$rate" 1 stats 10)
  printf '  %8d bytes/s = %7d packets/s: backlog %s bytes (%d ms of data), %s CPU-s/min\n' \
    "$rate" $((rate / 5)) "$backlog" $((backlog * 1000 / rate)) "$cpu"
done
