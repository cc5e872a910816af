#include "app/VoiceAnnouncer.h"

VoiceAnnouncer::VoiceAnnouncer() : output_(CreateEspeakOutput()) {}

VoiceAnnouncer::VoiceAnnouncer(std::unique_ptr<SpeechOutput> output) : output_(std::move(output)) {}

void VoiceAnnouncer::Speak(const std::string& utf8Text) {
    if (output_ && enabled_) output_->Speak(utf8Text);
}

namespace VoicePhrases {

std::string StartPlaying(const std::string& artist, const std::string& trackname) {
    return "Start playing:" + artist + " - " + trackname + " - ";
}

std::string RatedSuffix(int currentRating) {
    switch (currentRating) {
        case 1:
            return " Rated bad. ";
        case 2:
            return " Rated normal. ";
        case 3:
            return " Rated good ";
        case 4:
            return " Does this rock or what?. ";
        default:
            return {};
    }
}

std::string RatingSet(int rating) {
    switch (rating) {
        case 4:
            return "Rating set to awesome";
        case 3:
            return "Rating set to good";
        case 2:
            return "Rating set to normal";
        case 1:
            return "Rating set to bad";
        default:
            return {};
    }
}

}  // namespace VoicePhrases
