#pragma once
// The main window's speaking voice. Main thread only. "Created" only when a speech output
// exists; without one every request does nothing.

#include <memory>
#include <string>

#include "app/SpeechOutput.h"

class VoiceAnnouncer {
public:
    // The default voice is eSpeak NG with sound output.
    VoiceAnnouncer();
    explicit VoiceAnnouncer(std::unique_ptr<SpeechOutput> output);

    bool IsCreated() const { return output_ != nullptr; }
    bool IsEnabled() const { return enabled_; }
    void SetEnabled(bool enabled) { enabled_ = enabled; }
    // Queues the text when created and enabled; returns at once.
    void Speak(const std::string& utf8Text);
    // Drops the voice for good (Exit).
    void Release() { output_.reset(); }

private:
    std::unique_ptr<SpeechOutput> output_;
    bool enabled_ = true;
};

// The phrases of the announcements.
namespace VoicePhrases {
// "Start playing:" + artist + " - " + track name + " - "
std::string StartPlaying(const std::string& artist, const std::string& trackname);
// " Rated bad. " ... " Does this rock or what?. " for ratings 1..4; empty otherwise
std::string RatedSuffix(int currentRating);
inline constexpr const char* NotRatedSuffix = " Not rated. ";
// "Rating set to awesome" etc. for 4..1; empty otherwise
std::string RatingSet(int rating);
inline constexpr const char* TrackExcluded = "Track excluded";
}  // namespace VoicePhrases
