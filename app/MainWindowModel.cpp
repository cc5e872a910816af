#include "app/MainWindowModel.h"

#include "app/AppStore.h"
#include "app/PlayerEngine.h"
#include "app/VoiceAnnouncer.h"
#include "download/ArtistQueue.h"
#include "playback/PlayerBackend.h"
#include "res/ResourceIds.h"
#include "res/TextFormat.h"
#include "selection/TrackPlayer.h"

namespace {

// The started song that opens the feedback page, and how many closes show the hint.
constexpr int kFeedbackAfterSongs = 30;
constexpr int kCloseHints = 5;

}  // namespace

MainWindowModel::MainWindowModel(PlayerEngine& player, AppStore& store, VoiceAnnouncer& voice,
                                 ShellActions& shell, TextLoader text, int language,
                                 std::string feedbackUrl, SimilarArtistLookup* similarArtists)
    : player_(player),
      store_(store),
      voice_(voice),
      shell_(shell),
      text_(std::move(text)),
      language_(language),
      feedbackUrl_(std::move(feedbackUrl)),
      similarArtists_(similarArtists) {}

void MainWindowModel::SpeakWelcome() { voice_.Speak(Text(IDS_WELCOME)); }

MoodSetup MainWindowModel::LoadMoods() {
    MoodSetup setup;
    setup.names = store_.MoodNames(language_);
    for (int32_t moodID : {store_.FindSetting("LastMood").value_or(kStartMoodID), kStartMoodID}) {
        if (auto startName = store_.MoodName(language_, moodID)) {
            for (const auto& name : setup.names)
                if (name == *startName) setup.startMood = name;
        }
        if (setup.startMood) break;
    }
    if (setup.startMood) player_.SetMoodByName(*setup.startMood);
    return setup;
}

void MainWindowModel::SelectMood(const std::string& name) {
    player_.SetMoodByName(name);
    store_.SetSetting("LastMood", player_.GetMoodID());
}

int MainWindowModel::ApplyStoredPlayer() {
    int stored = store_.GetSetting("Player");
    if (stored >= PlayerTypeMediaPlayer && stored <= PlayerTypeFmod) player_.SwitchPlayer(stored);
    player_.CreatePlayer();
    // the fallback may have started another player, or none
    return player_.HasActivePlayer() ? player_.GetPlayerType() : 0;
}

int MainWindowModel::SelectPlayer(int playerType, int sliderVolume) {
    player_.SwitchPlayer(playerType);
    if (!player_.HasActivePlayer()) return 0;
    player_.SetVolume(sliderVolume);
    return player_.GetPlayerType();
}

std::optional<std::string> MainWindowModel::NoPlayerNotice() const {
    if (player_.HasActivePlayer()) return std::nullopt;
    return Text(IDS_NO_SOUNDCARD);
}

int MainWindowModel::ApplyStoredVolume() {
    const int stored = store_.FindSetting("Volume").value_or(kDefaultVolume);
    volume_ = stored >= 0 && stored <= kMaxVolume ? stored : kDefaultVolume;
    return volume_;
}

void MainWindowModel::SetVolume(int volume) {
    volume_ = volume;
    player_.SetVolume(volume);
}

bool MainWindowModel::ApplyStoredVoice() {
    bool on = store_.GetSetting("Voice") == 1;
    voice_.SetEnabled(on);
    return on;
}

void MainWindowModel::SetVoiceEnabled(bool enabled) { voice_.SetEnabled(enabled); }

std::string MainWindowModel::RatingWord(int rating) const {
    switch (rating) {
        case RatingBad:
            return Text(IDS_BAD);
        case RatingNormal:
            return Text(IDS_AVERAGE);
        case RatingGood:
            return Text(IDS_GOOD);
        case RatingAwesome:
            return Text(IDS_AWESOME);
        default:
            return {};
    }
}

PlayTrackView MainWindowModel::OnPlayTrack() {
    PlayTrackView view;
    TrackRecord track = player_.GetCurrentTrack();
    std::string spoken = VoicePhrases::StartPlaying(track.Artist, track.Trackname);

    if (player_.HasActivePlayer()) {
        player_.PlayFile(track.Filename);
        // a player may keep its own volume from before; the slider's is the one shown
        player_.SetVolume(volume_);
    }
    player_.ClearPaused();
    view.pauseText = Text(IDS_PAUSE);

    int songsPlayed = store_.GetSetting("SongsPlayed") + 1;
    store_.SetSetting("SongsPlayed", songsPlayed);
    if (songsPlayed == kFeedbackAfterSongs) shell_.OpenUrl(feedbackUrl_);

    int rating = track.CurrentRating;
    if (player_.GetPickSource() == PickTrackRating) {
        // Only a track band's explanation is read here: the others count many rows.
        const bool learned = player_.ExplainLastPick().ratingType == 2;
        view.ratingStatus = Text(learned ? IDS_LEARNED : IDS_RATED) + RatingWord(rating);
        spoken += VoicePhrases::RatedSuffix(rating);
    } else {
        view.ratingStatus = Text(IDS_NOT_RATED);
        if (rating >= RatingBad && rating <= RatingAwesome)
            view.ratingStatus += " (" + RatingWord(rating) + " ?)";
        spoken += VoicePhrases::NotRatedSuffix;
    }
    voice_.Speak(spoken);
    view.spoken = spoken;
    view.libraryStatus = DatabaseCounts();

    // The play is recorded once the player has opened the file (OnPlayerTick).
    return view;
}

std::optional<std::string> MainWindowModel::OnPlayerTick() {
    std::string filename;
    switch (player_.TakePlayOutcome(&filename)) {
        case PlayOutcome::Opened:
            store_.RecordPlayed(player_);
            return std::nullopt;
        case PlayOutcome::Failed:
            return Text(IDS_UNPLAYABLE) + " " + filename;
        case PlayOutcome::None:
            break;
    }
    return std::nullopt;
}

TrackInfoView MainWindowModel::OnTrackInfo() {
    TrackRecord track = player_.GetCurrentTrack();
    TrackInfoView view;
    view.artist = track.Artist;
    view.trackname = track.Trackname;
    view.album = track.Album;
    view.year = track.Year;
    view.genre = store_.GenreName(track.GenreID, language_).value_or("None");
    view.trayTip = FormatText("%s - %s", {track.Artist, track.Trackname});
    return view;
}

std::string MainWindowModel::DatabaseCounts() const {
    return FormatText(Text(IDS_DATABASE_STATUS), {static_cast<long long>(player_.GetTotalCount()),
                                                  static_cast<long long>(player_.GetRatedCount())});
}

std::string MainWindowModel::LibraryStatus(int pendingFiles) const {
    if (pendingFiles == 0) return DatabaseCounts();
    static const char* const dots[] = {"", "...", "..", "."};
    int phase = pendingFiles % 4;
    if (phase < 0) phase += 4;
    return Text(IDS_SEARCHING_FOR_SONGS) + dots[phase];
}

std::string MainWindowModel::OnLibraryStatus(int pendingFiles) {
    // tracks were added (and no selection may run to count them: no player, a long track)
    if (pendingFiles == 0) player_.RefreshCounts();
    return LibraryStatus(pendingFiles);
}

std::string MainWindowModel::DownloadStatus(const DownloadCounters& c) const {
    if (c.connections >= 1)
        return FormatText(
            Text(IDS_DOWNLOAD_CONNECTED),
            {static_cast<long long>(c.connections), static_cast<long long>(c.downloads),
             static_cast<long long>(c.downRate), static_cast<long long>(c.upRate)});
    if (c.networkStarted && c.noCacheReachable)
        return FormatText(Text(IDS_DOWNLOAD_NO_CACHE),
                          {static_cast<long long>(c.downloads), static_cast<long long>(c.downRate),
                           static_cast<long long>(c.upRate)});
    if (c.networkStarted && c.cachesAsked > 0)
        return FormatText(
            Text(IDS_DOWNLOAD_LOOKING),
            {static_cast<long long>(c.cachesAsked), static_cast<long long>(c.downloads),
             static_cast<long long>(c.downRate), static_cast<long long>(c.upRate)});
    if (c.networkStarted)
        return FormatText(Text(IDS_DOWNLOAD_CONNECTING),
                          {static_cast<long long>(c.downloads), static_cast<long long>(c.downRate),
                           static_cast<long long>(c.upRate)});
    return Text(IDS_DISABLED);
}

std::string MainWindowModel::Rate(int rating) {
    voice_.Speak(VoicePhrases::RatingSet(rating));
    std::string status = Text(IDS_RATED) + RatingWord(rating);
    store_.RateTrack(player_, rating);
    player_.RefreshCounts();
    if (rating == RatingAwesome) {
        TrackRecord track = player_.GetCurrentTrack();
        if (similarArtists_) similarArtists_->FindSimilarArtists(track.Artist);
        store_.EnqueueArtist(track.Artist);
    }
    return status;
}

std::string MainWindowModel::Exclude() {
    voice_.Speak(VoicePhrases::TrackExcluded);
    std::string status = Text(IDS_EXCLUDED);
    store_.RateTrack(player_, RatingExcluded);
    player_.SelectNextTrack();
    return status;
}

void MainWindowModel::Skip() { player_.SkipTrack(); }

std::string MainWindowModel::WhyThisTrack() {
    return ExplainPick(player_.ExplainLastPick(), language_);
}

void MainWindowModel::SpeakWhyThisTrack() {
    // Asked for in so many words: said even while the announcements are off.
    const bool enabled = voice_.IsEnabled();
    voice_.SetEnabled(true);
    voice_.Speak(WhyThisTrack());
    voice_.SetEnabled(enabled);
}

bool MainWindowModel::LearnFromSkips() const { return player_.GetLearnFromSkips(); }

void MainWindowModel::SetLearnFromSkips(bool on) { player_.SetLearnFromSkips(on); }

std::string MainWindowModel::TogglePause() {
    if (player_.IsPaused()) {
        player_.Resume();
        return Text(IDS_PAUSE);
    }
    player_.Pause();
    return Text(IDS_PLAY);
}

bool MainWindowModel::CountClose() {
    int closes = store_.GetSetting("CloseCount");
    store_.SetSetting("CloseCount", closes + 1);
    return closes < kCloseHints;
}

void MainWindowModel::StoreExitSettings(bool voiceEnabled, bool downloadChecked) {
    store_.SetSetting("Voice", voiceEnabled ? 1 : 0);
    store_.SetSetting("Download", downloadChecked ? 1 : 0);
    store_.SetSetting("Player", player_.GetPlayerType());
    store_.SetSetting("Volume", volume_);
}
