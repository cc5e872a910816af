#include "res/ResourceIds.h"
#include "res/StringTable.h"

#include "Utf8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <regex>
#include <set>

namespace {

// The IDS_ constants as declared in the header, so a constant without a text is caught.
std::map<std::string, int> DeclaredStringIds()
{
    std::string header = ReadTextFile(SONVERA_SOURCE_DIR "/res/ResourceIds.h");
    std::regex declaration(R"(constexpr int (IDS_\w+) = (\d+);)");
    std::map<std::string, int> ids;
    for (auto it = std::sregex_iterator(header.begin(), header.end(), declaration); it != std::sregex_iterator(); ++it)
        ids[(*it)[1]] = std::stoi((*it)[2]);
    return ids;
}

// The printf conversions of a text in order ("%d", "%s"); "%%" is not a conversion.
std::vector<std::string> Conversions(const std::string& text)
{
    std::vector<std::string> found;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%')
            continue;
        size_t j = i + 1;
        while (j < text.size() && std::string("-+ #0123456789.l").find(text[j]) != std::string::npos)
            ++j;
        found.push_back(text.substr(i, j + 1 - i));
        i = j;
    }
    return found;
}

const int kTranslations[] = {kLanguageHebrew, kLanguageDutch, kLanguageChinese};

}  // namespace

TEST(StringTable, EveryDeclaredStringHasATextInEveryLanguage)
{
    auto declared = DeclaredStringIds();
    ASSERT_GT(declared.size(), 90u);
    for (const auto& [name, id] : declared)
        for (int language : kInterfaceLanguages)
            EXPECT_TRUE(HasResString(id, language)) << name << " in " << language;
}

TEST(StringTable, TablesHoldExactlyTheDeclaredIds)
{
    std::set<int> declared;
    for (const auto& entry : DeclaredStringIds())
        declared.insert(entry.second);
    std::vector<int> ids = ResStringIds();
    EXPECT_EQ(std::set<int>(ids.begin(), ids.end()), declared);
    EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
    EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end()) << "duplicate ID in the English table";
    for (int language : kTranslations)
        for (int id = 3000; id < 3300; ++id)
            EXPECT_EQ(HasResString(id, language), declared.count(id) == 1) << id << " in " << language;
}

TEST(StringTable, TranslationsAreFilledInAndValidUtf8)
{
    for (int id : ResStringIds()) {
        std::string english = LoadResString(id, kLanguageEnglish);
        EXPECT_TRUE(IsValidUtf8(english)) << id;
        for (int language : kTranslations) {
            std::string text = LoadResString(id, language);
            EXPECT_TRUE(IsValidUtf8(text)) << id << " in " << language;
            EXPECT_EQ(text.empty(), english.empty()) << id << " in " << language;
        }
    }
    EXPECT_EQ(LoadResString(IDS_NOTICE_BLANK, kLanguageEnglish), "");
}

TEST(StringTable, HebrewAndChineseAreReallyTranslated)
{
    // Every text with words must carry letters of the script; only the address may stay Latin.
    for (int id : ResStringIds()) {
        if (id == IDS_MDAC_URL || LoadResString(id, kLanguageEnglish).empty())
            continue;
        EXPECT_TRUE(HasNonAscii(LoadResString(id, kLanguageHebrew))) << id;
        EXPECT_TRUE(HasNonAscii(LoadResString(id, kLanguageChinese))) << id;    }
}

TEST(StringTable, DutchDiffersFromEnglishExceptForSharedWords)
{
    const std::set<int> sameInDutch = {IDS_ALBUM, IDS_GENRE, IDS_VOLUME, IDS_STATUS, IDS_DL_PUSH, IDS_LINKS,
                                       IDS_OK, IDS_NOTICE_BLANK, IDS_STATUS_DOTS, IDS_UNICODE};
    for (int id : ResStringIds()) {
        bool same = LoadResString(id, kLanguageDutch) == LoadResString(id, kLanguageEnglish);
        EXPECT_EQ(same, sameInDutch.count(id) == 1) << id << ": " << LoadResString(id, kLanguageDutch);
    }
}

TEST(StringTable, FormatPlaceholdersMatchEnglish)
{
    int withPlaceholders = 0;
    for (int id : ResStringIds()) {
        auto english = Conversions(LoadResString(id, kLanguageEnglish));
        withPlaceholders += english.empty() ? 0 : 1;
        for (int language : kTranslations)
            EXPECT_EQ(Conversions(LoadResString(id, language)), english) << id << " in " << language;
    }
    EXPECT_GE(withPlaceholders, 8);
    EXPECT_EQ(Conversions(LoadResString(IDS_THREAD_ERROR, kLanguageEnglish)), std::vector<std::string>{"%s"});
}

TEST(StringTable, FormattedTextsCarryTheirValues)
{
    for (int language : kInterfaceLanguages) {
        char buffer[512];
        std::snprintf(buffer, sizeof buffer, LoadResString(IDS_THREAD_ERROR, language).c_str(), "TrackPlayer");
        EXPECT_NE(std::string(buffer).find("TrackPlayer"), std::string::npos) << language;
        std::snprintf(buffer, sizeof buffer, LoadResString(IDS_DATABASE_STATUS, language).c_str(), 1234, 56);
        EXPECT_NE(std::string(buffer).find("1234"), std::string::npos) << language;
        EXPECT_NE(std::string(buffer).find("56"), std::string::npos) << language;
    }
}

TEST(StringTable, RatedPrefixLeavesRoomForTheWord)
{
    // "Rated " is followed directly by the rating word.
    for (int language : kInterfaceLanguages) {
        std::string prefix = LoadResString(IDS_RATED, language);
        bool separated = prefix.ends_with(" ") || prefix.ends_with("：");
        EXPECT_TRUE(separated) << language << ": '" << prefix << "'";
    }
}

TEST(StringTable, EnglishTextsKeepTheirExactForm)
{
    EXPECT_EQ(LoadResString(IDS_RATED, kLanguageEnglish), "Rated ");
    EXPECT_NE(LoadResString(IDS_NOTICE_P2P, kLanguageEnglish).find("networks.  If"), std::string::npos);
    EXPECT_EQ(LoadResString(IDS_DATABASE_STATUS, kLanguageEnglish), "Database: Total %d, Rated %d");
    EXPECT_TRUE(LoadResString(IDS_MDAC_UPDATE, kLanguageEnglish).starts_with("Sonvera needs an update to your system."));
    EXPECT_TRUE(LoadResString(IDS_MDAC_UPDATE, kLanguageEnglish).ends_with("Sorry, have to quit..."));
    EXPECT_TRUE(LoadResString(IDS_MDAC_URL, kLanguageEnglish).starts_with("https://"));
    for (int id : ResStringIds()) {
        std::string text = LoadResString(id, kLanguageEnglish);
        if (id != IDS_RATED && id != IDS_LEARNED && !text.empty()) {
            EXPECT_TRUE(text.front() != ' ' && text.back() != ' ') << id;
        }
    }
}

TEST(StringTable, UnknownIdsAndLanguages)
{
    EXPECT_EQ(LoadResString(42, kLanguageEnglish), "");
    EXPECT_EQ(LoadResString(42, kLanguageHebrew), "");
    EXPECT_FALSE(HasResString(42, kLanguageEnglish));
    EXPECT_EQ(LoadResString(IDS_GOOD, 1031), "Good");  // German falls back to English
    EXPECT_FALSE(HasResString(IDS_GOOD, 1031));
    EXPECT_EQ(LoadResString(IDS_GOOD, kLanguageDutch), "Goed");
    EXPECT_EQ(LoadResString(IDS_GOOD, kLanguageChinese), "好");
}

TEST(StringTable, IdHelpersPointAtTheRightTexts)
{
    EXPECT_EQ(LoadResString(DownloadStatusStringId(1), kLanguageEnglish), "No Sources");
    EXPECT_EQ(LoadResString(DownloadStatusStringId(9), kLanguageEnglish), "Completed");
    EXPECT_EQ(LoadResString(DownloadStatusStringId(11), kLanguageEnglish), "Queued");
    EXPECT_EQ(DownloadStatusStringId(0), 0);
    EXPECT_EQ(DownloadStatusStringId(12), 0);
    EXPECT_EQ(LoadResString(ConnectionSpeedStringId(3), kLanguageEnglish).substr(0, 10), "Ultrafast.");
    EXPECT_EQ(ConnectionSpeedStringId(-1), 0);
    EXPECT_EQ(ConnectionSpeedStringId(4), 0);
    EXPECT_EQ(LoadResString(RatingWordStringId(4), kLanguageEnglish), "Awesome!");
    EXPECT_EQ(LoadResString(RatingWordStringId(2), kLanguageEnglish), "Average");
    EXPECT_EQ(RatingWordStringId(0), 0);
    EXPECT_EQ(RatingWordStringId(-1), 0);
}

TEST(Languages, LocaleNamesMapToTheirOwnWindowsIdentifiers)
{
    const std::pair<const char*, int> cases[] = {
        {"en_US", 1033},      {"en_US.UTF-8", 1033}, {"C", 1033},          {"POSIX", 1033},
        {"C.UTF-8", 1033},    {"", 1033},            {"he_IL", 1037},      {"nl_NL", 1043},
        {"zh_CN", 2052},      {"he_IL.UTF-8", 1037}, {"nl-NL", 1043},      {"HE_il", 1037},
        {"zh_CN.GB18030", 2052}, {"nl_NL@euro", 1043}, {"en_GB", 2057},    {"de_DE", 1031},
        {"fr_FR", 1036},      {"nl_BE", 2067},       {"zh_TW", 1028},      {"es_ES", 3082},
        {"pt_BR", 1046},      {"ja_JP.eucJP", 1041}, {"en-AU", 3081},      {"sr_RS", 10266},
        {"sr_RS@latin", 9242}, {"sr_Latn_RS", 9242}, {"de", 7},            {"en", 9},
        {"de_BE", 7},         {"xx_YY", 0x1000},     {"_", 0x1000},
    };
    for (const auto& [name, language] : cases)
        EXPECT_EQ(LanguageFromLocaleName(name), language) << name;
}

TEST(Languages, OnlyHebrewIsRightToLeft)
{
    EXPECT_TRUE(IsRightToLeft(kLanguageHebrew));
    for (int language : {kLanguageEnglish, kLanguageDutch, kLanguageChinese})
        EXPECT_FALSE(IsRightToLeft(language)) << language;
    EXPECT_TRUE(IsInterfaceLanguage(2052));
    EXPECT_FALSE(IsInterfaceLanguage(1031));
}
