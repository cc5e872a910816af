#!/usr/bin/env bash
# Takes the screenshots in docs/ from the real program under Xvfb: the start-up notice, the
# main window playing a track (in English and in Hebrew) and the play settings dialog; the
# catalog and search windows, the Add artist window, the track editor and the info browser
# come from their window tests, offscreen (see README).
# Needs a built tree and: apt-get install xvfb xauth xdotool imagemagick lame sox sqlite3
# fonts-wqy-microhei (the editor's Chinese lines)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/music" "$work/data" docs
for i in 1 2 3; do
    sox -n -r 44100 -c 2 "$work/t$i.wav" synth 120 sine $((300 + i * 100)) vol 0.3
    lame --quiet --ta "The Lamplighters" --tt "Night Song $i" --tl "Evening Hours" --ty 2003 \
        --tg Rock "$work/t$i.wav" "$work/music/The Lamplighters - Night Song $i.mp3"
done
cp build/db/Sonvera.mdb "$work/data/"
sqlite3 "$work/data/Sonvera.mdb" "UPDATE tSettings SET ValueInt=0 WHERE Name IN ('FirstUse', 'Voice');
    INSERT INTO tRecommender(Name) VALUES ('The Lamplighters');"
build/tools/sonvera-scan "$work/data/Sonvera.mdb" "$work/music/" >/dev/null
# Two tracks rated Good in mood 2, the third comes through its genre: with the awesome bands
# (which have nothing to offer here) set to Never, the window shows why a track was picked.
sqlite3 "$work/data/Sonvera.mdb" "INSERT INTO tTrackMood(MoodID, TrackID, Rating, RatingType)
    SELECT 2, ID, 3, 1 FROM tTrack WHERE ID < 3;
    UPDATE tSettings SET ValueInt = 0 WHERE Name IN ('PlayTrackAwesome', 'PlayArtistAwesome',
        'PlayGenreAwesome', 'PlayRandom');"

cat > "$work/take.sh" <<'SCRIPT'
set -eu
out=$1; shift
export SDL_AUDIODRIVER=dummy
"$SONVERA" "$@" >/dev/null 2>&1 &
pid=$!
# The newest visible window other than the root and the given one.
newest() { xdotool search --onlyvisible --name '.*' | grep -v -x -e "$(xdotool getactivewindow 2>/dev/null || echo none)" -e "$1" | tail -1; }
waitfor() { for _ in $(seq 50); do w=$(newest "$1"); [ -n "$w" ] && [ "$w" != "$2" ] && { echo "$w"; return; }; sleep 0.2; done; }
root=$(xdotool search --maxdepth 0 --name '.*' 2>/dev/null | head -1 || true)
notice=$(waitfor "${root:-none}" none); sleep 1
[ -n "$out" ] && import -window "$notice" "$out/notice.png"
# The box and OK: on the left in English, mirrored in Hebrew.
eval "$(xdotool getwindowgeometry --shell "$notice")"
if [ "$RTL" = 1 ]; then box=$((WIDTH - 19)); ok=137; else box=17; ok=$((WIDTH - 138)); fi
xdotool mousemove --window "$notice" "$box" 231 click 1; sleep 0.3
xdotool mousemove --window "$notice" "$ok" 257 click 1
main=$(waitfor "$notice" "$notice"); sleep 5
import -window "$main" "$MAINSHOT"
if [ -n "$out" ]; then
    xdotool mousemove --window "$main" 185 8 click 1
    popup=$(waitfor "$main" none)
    xdotool mousemove --window "$popup" 40 56; sleep 0.7; xdotool click 1
    dialog=$(waitfor "$main" "$popup"); sleep 1
    import -window "$dialog" "$out/play-settings.png"
fi
kill "$pid"
SCRIPT
cd "$work/data"
# The update check and the similar-artist pages stay on this machine: nothing answers there.
nosite=http://127.0.0.1:9/
SONVERA="$root/build/app/sonvera" MAINSHOT="$root/docs/main-window.png" RTL=0 \
    xvfb-run -a -s "-screen 0 1024x768x24" bash "$work/take.sh" "$root/docs" --site "$nosite"
SONVERA="$root/build/app/sonvera" MAINSHOT="$root/docs/main-window-hebrew.png" RTL=1 \
    xvfb-run -a -s "-screen 0 1024x768x24" bash "$work/take.sh" "" --language 1037 --site "$nosite"
SONVERA_SCREENSHOT_DIR="$root/docs" QT_QPA_PLATFORM=offscreen \
    "$root/build/tests/windows/sonvera_windows_tests" --gtest_filter=Pictures.CatalogAndSearch >/dev/null
SONVERA_SCREENSHOT_DIR="$root/docs" QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 \
    "$root/build/tests/songinfo/songinfo_window_tests" --gtest_filter=Pictures.TrackEditorAndInfoBrowser \
    >/dev/null 2>&1
ls -la "$root/docs"
