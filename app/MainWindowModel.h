#pragma once
// The main window's logic without widgets: what each command and worker message does and
// which texts the window shows. Main thread only.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "download/DownloadControl.h"
#include "res/StringTable.h"

class PlayerEngine;
class AppStore;
class SimilarArtistLookup;
class VoiceAnnouncer;

// Text of a string-table entry in the interface language, UTF-8.
using TextLoader = std::function<std::string(int stringID)>;

// Shell services the logic asks for; the window supplies real ones, tests record them.
class ShellActions {
public:
    virtual ~ShellActions() = default;
    virtual void OpenUrl(const std::string& url) = 0;
};

// The mood a run starts in without a stored one, and the volume slider's range and start.
inline constexpr int kStartMoodID = 2;
inline constexpr int kMaxVolume = 255;
inline constexpr int kDefaultVolume = 128;

struct PlayTrackView {
    std::string ratingStatus;   // 1041
    std::string libraryStatus;  // 1042
    std::string pauseText;      // 1013
    std::string spoken;
};

struct TrackInfoView {
    std::string artist, trackname, album, year, genre;
    std::string trayTip;
};

struct MoodSetup {
    std::vector<std::string> names;
    std::optional<std::string> startMood;  // the entry named like mood 2
};

class MainWindowModel {
public:
    MainWindowModel(PlayerEngine& player, AppStore& store, VoiceAnnouncer& voice,
                    ShellActions& shell, TextLoader text, int language, std::string feedbackUrl,
                    SimilarArtistLookup* similarArtists = nullptr);

    std::string Text(int id) const { return text_(id); }
    void SpeakWelcome();

    // Starts in the mood of the last run ("LastMood"), else in mood 2.
    MoodSetup LoadMoods();
    // Changes the mood and remembers it for the next run.
    void SelectMood(const std::string& name);
    // Applies the stored "Player" setting, creates the player; the type that really plays,
    // or 0 when none could start.
    int ApplyStoredPlayer();
    // A player menu item: switch, then the volume from the slider; the type that plays now.
    int SelectPlayer(int playerType, int sliderVolume);
    // The text that tells the user there is no sound, or nothing when a player runs.
    std::optional<std::string> NoPlayerNotice() const;
    // The volume of the last run ("Volume"), 128 without one; the slider starts there.
    int ApplyStoredVolume();
    // The volume slider moved; each new track starts at this volume too.
    void SetVolume(int volume);
    // The stored "Voice" setting; the voice follows it.
    bool ApplyStoredVoice();
    void SetVoiceEnabled(bool enabled);

    PlayTrackView OnPlayTrack();
    // Records the play of a track the player has opened; for one that failed to open, the
    // text for the status line.
    std::optional<std::string> OnPlayerTick();
    TrackInfoView OnTrackInfo();
    std::string LibraryStatus(int pendingFiles) const;
    // The scanner's status message: the counts are read anew once the queue is empty.
    std::string OnLibraryStatus(int pendingFiles);
    std::string DatabaseCounts() const;
    std::string DownloadStatus(const DownloadCounters& counters) const;

    // A rating 4..1; returns the rating status text. The counts are read anew. Awesome also
    // looks up the artist's similar artists and queues the artist, every time.
    std::string Rate(int rating);
    std::string Exclude();
    void Skip();
    // Why the current track was picked, in the interface language; spoken on request.
    std::string WhyThisTrack();
    void SpeakWhyThisTrack();
    bool LearnFromSkips() const;
    void SetLearnFromSkips(bool on);
    // Pause/Play button; returns its new text.
    std::string TogglePause();

    // Download box ticked: false (and the refusal text) when downloading must stay off.
    bool MayEnableDownload(int userDefaultLanguage) const {
        return userDefaultLanguage != kLanguageEnglish;
    }

    // Close while running: true when the hint is due; counts the close.
    bool CountClose();
    void StoreExitSettings(bool voiceEnabled, bool downloadChecked);

private:
    std::string RatingWord(int rating) const;

    PlayerEngine& player_;
    AppStore& store_;
    VoiceAnnouncer& voice_;
    ShellActions& shell_;
    TextLoader text_;
    int language_;
    std::string feedbackUrl_;
    SimilarArtistLookup* similarArtists_;
    int volume_ = kDefaultVolume;
};
