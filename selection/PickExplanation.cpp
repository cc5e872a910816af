#include "selection/PickExplanation.h"

#include <cstdio>
#include <vector>

#include "res/ResourceIds.h"
#include "res/StringTable.h"
#include "selection/PlayWeights.h"

namespace {

// Each %s takes the next argument and %% is a percent sign; a translated text cannot make
// it read past its arguments.
std::string Fill(const std::string& format, const std::vector<std::string>& args) {
    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            if (format[i + 1] == '%') {
                out += '%';
                ++i;
                continue;
            }
            if (format[i + 1] == 's') {
                if (next < args.size()) out += args[next];
                ++next;
                ++i;
                continue;
            }
        }
        out += format[i];
    }
    return out;
}

// "Awesome!" reads as a word inside a sentence without its exclamation mark.
std::string RatingInSentence(int rating, int32_t languageId) {
    std::string word = LoadResString(RatingWordStringId(rating), languageId);
    for (const std::string mark : {"!", "\xEF\xBC\x81"}) {
        if (word.size() >= mark.size() &&
            word.compare(word.size() - mark.size(), mark.size(), mark) == 0)
            word.erase(word.size() - mark.size());
    }
    return word;
}

}  // namespace

int SharePercent(const int32_t* weights, int count, int band) {
    if (band < 0 || band >= count) return 0;
    int64_t sum = 0;
    for (int i = 0; i < count; ++i) sum += weights[i] > 0 ? weights[i] : 0;
    const int64_t weight = weights[band] > 0 ? weights[band] : 0;
    if (sum == 0) return 0;
    return static_cast<int>((weight * 100 + sum / 2) / sum);
}

std::string BandInWords(int band, int32_t languageId) {
    if (band < 0 || band >= PlayWeightCount) return {};
    if (band == PlayRandom) return LoadResString(IDS_WHY_NEW, languageId);
    static constexpr int kinds[] = {IDS_WHY_TRACK, IDS_WHY_ARTIST, IDS_WHY_GENRE};
    const int rating = 4 - band % 4;  // Awesome, Good, Normal, Bad in each group of four
    return Fill(LoadResString(kinds[band / 4], languageId), {RatingInSentence(rating, languageId)});
}

std::string ExplainPick(const PickExplanation& pick, int32_t languageId) {
    if (pick.chosenByUser) return LoadResString(IDS_WHY_USER, languageId);
    if (pick.band < 0 || pick.band >= PlayWeightCount)
        return LoadResString(IDS_WHY_NONE, languageId);
    const std::string band = BandInWords(pick.band, languageId);
    const std::string share = std::to_string(pick.sharePercent);
    const std::string candidates = std::to_string(pick.candidates);
    if (pick.fellBack)
        return Fill(LoadResString(IDS_WHY_FELL_BACK, languageId), {band, share, candidates});
    std::string text = Fill(LoadResString(IDS_WHY_CHOSEN, languageId), {band, share, candidates});
    if (pick.average) {
        char average[16];
        std::snprintf(average, sizeof average, "%.1f", *pick.average);
        text += " " + Fill(LoadResString(IDS_WHY_AVERAGE, languageId), {average});
    }
    text += " " + LoadResString(pick.band == PlayRandom ? IDS_WHY_RANDOM : IDS_WHY_LEAST_RECENT,
                                languageId);
    if (pick.ratingType == 2 && pick.band < PlayArtistAwesome)
        text += " " + LoadResString(IDS_WHY_LEARNED, languageId);
    return text;
}
