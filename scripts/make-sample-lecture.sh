#!/usr/bin/env bash
# Makes a sample lecture video to try Lumenote on: five slides rendered with
# ffmpeg, each narrated by espeak-ng, about a minute in all (H.264 + AAC, MP4).
#
#   scripts/make-sample-lecture.sh [OUTPUT.mp4] [--short]
#
# OUTPUT defaults to sample-lecture.mp4 in the current folder. --short keeps
# only the first two slides (a few seconds; used by the tests).
set -euo pipefail

out="sample-lecture.mp4"
short=0
for arg in "$@"; do
  case "$arg" in
    --short) short=1 ;;
    -h|--help) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "make-sample-lecture: unknown option $arg" >&2; exit 2 ;;
    *) out="$arg" ;;
  esac
done

for tool in ffmpeg ffprobe espeak-ng; do
  command -v "$tool" >/dev/null || { echo "make-sample-lecture: $tool is missing (run scripts/install-deps.sh)" >&2; exit 1; }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Each slide: background colour | title | bullet lines (separated by "/") | narration.
slides=(
  "0x1d3557|The Water Cycle|How water moves between sea, sky and land/An introduction in four steps|Welcome to this short lecture about the water cycle. We will follow a drop of water from the ocean into the sky and back to the land."
  "0x2a6f97|1. Evaporation|The sun heats oceans, lakes and rivers/Liquid water turns into water vapour/Plants add vapour through transpiration|The first step is evaporation. Energy from the sun heats the surface of oceans and lakes, and liquid water becomes invisible water vapour. Plants release vapour through their leaves as well."
  "0x386641|2. Condensation|Rising air cools down/Vapour condenses on tiny particles/Droplets gather into clouds|The second step is condensation. As warm moist air rises it cools, and the vapour condenses on tiny particles of dust. Billions of these droplets together form the clouds we see."
  "0x6a4c93|3. Precipitation|Droplets merge and grow heavier/They fall as rain, snow or hail/Most precipitation falls back into the ocean|The third step is precipitation. Inside a cloud the droplets collide and merge until they are too heavy to float, and they fall as rain, snow or hail."
  "0x9d4edd|4. Collection|Rivers carry water back to the sea/Some water soaks into the ground/The cycle starts again|The last step is collection. Rivers carry the water back to the sea, some of it soaks into the ground as groundwater, and the cycle begins again. Thank you for listening."
)
if [ "$short" -eq 1 ]; then slides=("${slides[@]:0:2}"); fi

font="$(fc-match -f '%{file}' 'DejaVu Sans:bold' 2>/dev/null || true)"
[ -n "$font" ] && [ -f "$font" ] || font="/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"

list="$work/parts.txt"
: > "$list"
i=0
for slide in "${slides[@]}"; do
  IFS='|' read -r colour title bullets narration <<<"$slide"
  i=$((i + 1))
  printf '%s' "$title" > "$work/title$i.txt"
  printf '%s' "$bullets" | tr '/' '\n' | sed 's/^/•  /' > "$work/bullets$i.txt"
  espeak-ng -s 155 -w "$work/voice$i.wav" "$narration"
  seconds="$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$work/voice$i.wav")"
  # Half a second of quiet after each narration, so slides do not change mid-sentence.
  duration="$(awk -v d="$seconds" 'BEGIN { printf "%.2f", d + 0.5 }')"
  ffmpeg -nostdin -v error -y \
    -f lavfi -i "color=c=${colour}:s=1280x720:r=25:d=${duration}" \
    -i "$work/voice$i.wav" \
    -filter_complex "[0:v]drawtext=fontfile=${font}:textfile=$work/title$i.txt:fontcolor=white:fontsize=64:x=80:y=90,drawtext=fontfile=${font}:textfile=$work/bullets$i.txt:fontcolor=white:fontsize=40:line_spacing=28:x=100:y=260[v];[1:a]apad,aresample=44100[a]" \
    -map '[v]' -map '[a]' -t "$duration" \
    -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -b:a 96k -ac 1 \
    "$work/part$i.mp4"
  printf "file '%s'\n" "$work/part$i.mp4" >> "$list"
done

mkdir -p "$(dirname "$out")"
ffmpeg -nostdin -v error -y -f concat -safe 0 -i "$list" -c copy -movflags +faststart "$out"
total="$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$out")"
printf 'Sample lecture: %s (%.0f s, %d slides)\n' "$out" "$total" "$i"
