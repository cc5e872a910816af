#!/usr/bin/env bash
# The acoustic-matching check: N generated recordings (sox), each encoded twice: lame at 320
# kbit/s with tags, and with garbled or no tags lame at 96 kbit/s or, with SECOND=opus, opusenc
# at 64 kbit/s. The tagged copy is submitted to a private sonvera-infod on loopback, the other
# retrieved: prints how many come back with the right artist and title, and how many of N
# unrelated recordings match anything.
# Usage: [SECOND=opus] scripts/acoustic-corpus.sh [N] [SECONDS]   (build/ must hold the tools)
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-200}
seconds=${2:-30}
second=${SECOND:-mp3}
tools=${BUILD_DIR:-build}/tools
infod=${BUILD_DIR:-build}/server/sonvera-infod
[ -x "$infod" ] || infod=$(find "${BUILD_DIR:-build}" -name sonvera-infod -type f | head -1)
work=$(mktemp -d)
port=$((20000 + RANDOM % 20000))
"$infod" --listen "127.0.0.1:$port" --db "$work/infod.db" >"$work/infod.log" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 50); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    sleep 0.1
done
url="http://127.0.0.1:$port/"

# A tune of plucked notes, a quarter second each, its pitches drawn from the seed.
melody() {
    local out=$1 seed=$2 notes=() i
    RANDOM=$seed
    for ((i = 0; i < seconds * 4; i++)); do
        ((i)) && notes+=(":")
        notes+=(synth 0.25 pluck $((150 + (RANDOM * 32768 + RANDOM) % 1850)))
    done
    sox -q -n -r 44100 -c 2 -b 16 "$out" "${notes[@]}"
}

right=0 wrong=0 none=0 false_matches=0
for ((n = 1; n <= count; n++)); do
    melody "$work/r.wav" "$n"
    lame --quiet -b 320 --ta "Artist $n" --tt "Title $n" "$work/r.wav" "$work/high.mp3"
    low="$work/low.$second"
    garble=()
    if [ "$second" = opus ]; then
        ((n % 2)) || garble=(--artist "Unknown Artist" --title "Track $((n % 17))")
        opusenc --quiet --bitrate 64 ${garble[@]+"${garble[@]}"} "$work/r.wav" "$low"
    else
        ((n % 2)) || garble=(--ta "Unknown Artist" --tt "Track $((n % 17))")
        lame --quiet -b 96 ${garble[@]+"${garble[@]}"} "$work/r.wav" "$low"
    fi
    "$tools/sonvera-fingerprint" --server "$url" --submit "Artist $n" "Title $n" "Album" "2026" \
        "$work/high.mp3" >/dev/null
    sleep 0.34  # under the server's three submissions a second
    answer=$("$tools/sonvera-fingerprint" --server "$url" "$low" | tail -1)
    case "$answer" in
        *"\"artist\":\"Artist $n\",\"track\":\"Title $n\""*) right=$((right + 1)) ;;
        null) none=$((none + 1)) ;;
        *) wrong=$((wrong + 1)) ;;
    esac
done
for ((n = 1; n <= count; n++)); do
    melody "$work/u.wav" $((100000 + n))
    lame --quiet -b 128 "$work/u.wav" "$work/unrelated.mp3"
    answer=$("$tools/sonvera-fingerprint" --server "$url" "$work/unrelated.mp3" | tail -1)
    [ "$answer" = null ] || false_matches=$((false_matches + 1))
done
echo "recordings $count of ${seconds} s, second copy $second: right $right, wrong $wrong, nothing $none;" \
     "unrelated matched: $false_matches of $count"
