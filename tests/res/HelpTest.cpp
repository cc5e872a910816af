#include "res/Help.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"

#include "Utf8.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>

namespace {

const std::string kHelpSource = SONVERA_SOURCE_DIR "/res/help/html";

std::vector<std::string> LocalLinks(const std::string& html)
{
    std::regex link(R"re((?:href|src)="([^"#]*)(#[^"]*)?")re");
    std::vector<std::string> links;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), link); it != std::sregex_iterator(); ++it) {
        std::string target = (*it)[1];
        if (!target.empty() && target.find(':') == std::string::npos)
            links.push_back(target);
    }
    return links;
}

// Restores an environment variable when the test ends.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (old_.empty())
            unsetenv(name_);
        else
            setenv(name_, old_.c_str(), 1);
    }

private:
    const char* name_;
    std::string old_;
};

}  // namespace

TEST(Help, ControlsOpenTheirTopics)
{
    const std::pair<int, const char*> cases[] = {
        {IDC_MAIN_SKIP, "SkipButton.htm"},       {IDC_MAIN_MOOD_LIST, "MoodSelector.htm"},
        {IDC_MAIN_POSITION_SLIDER, "SongSlider.htm"}, {IDC_MAIN_AWESOME, "RateAwesome.htm"},
        {IDC_MAIN_GOOD, "RateGood.htm"},         {IDC_MAIN_NORMAL, "RateNormal.htm"},
        {IDC_MAIN_BAD, "RateBad.htm"},           {IDC_MAIN_PAUSE, "PauseButton.htm"},
        {IDC_MAIN_VOLUME_SLIDER, "VolumeSlider.htm"}, {IDC_MAIN_EXCLUDE, "Overview.htm"},
        {0, "Overview.htm"},                     {-1, "Overview.htm"},
    };
    for (const auto& [control, page] : cases)
        EXPECT_EQ(HelpTopicForControl(control), std::string("Sonvera.chm::/html/") + page) << control;
}

TEST(Help, EveryTopicAndEveryLinkedPageExists)
{
    std::set<std::string> pages;
    for (const std::string& page : HelpPages())
        pages.insert(page);
    EXPECT_EQ(*HelpPages().begin(), kHelpIndexPage);
    for (int control = 1000; control < 1150; ++control)
        pages.insert(HelpPageFile(HelpTopicForControl(control)));
    for (const std::string& page : pages) {
        ASSERT_FALSE(page.empty());
        std::string html = ReadTextFile(kHelpSource + "/" + page);
        ASSERT_FALSE(html.empty()) << page << " is missing";
        EXPECT_TRUE(IsValidUtf8(html)) << page;
        EXPECT_NE(html.find("<title>"), std::string::npos) << page;
        EXPECT_NE(html.find("</html>"), std::string::npos) << page;
        for (const std::string& link : LocalLinks(html))
            EXPECT_TRUE(std::filesystem::exists(kHelpSource + "/" + link)) << page << " links to missing " << link;
    }
}

TEST(Help, IndexReachesEveryPage)
{
    std::set<std::string> reached = {kHelpIndexPage};
    std::vector<std::string> queue = {kHelpIndexPage};
    while (!queue.empty()) {
        std::string page = queue.back();
        queue.pop_back();
        for (const std::string& link : LocalLinks(ReadTextFile(kHelpSource + "/" + page)))
            if (link.ends_with(".htm") && reached.insert(link).second)
                queue.push_back(link);
    }
    for (const auto& entry : std::filesystem::directory_iterator(kHelpSource)) {
        std::string name = entry.path().filename().string();
        if (name.ends_with(".htm")) {
            EXPECT_TRUE(reached.count(name)) << name << " cannot be reached from the index";
        }
    }
    for (const std::string& page : HelpPages())
        EXPECT_TRUE(reached.count(page)) << page;
}

TEST(Help, PageNamesAreConfinedToTheHelpFolder)
{
    EXPECT_EQ(HelpPageFile("Sonvera.chm::/html/Overview.htm"), "Overview.htm");
    EXPECT_EQ(HelpPageFile("RateBad.htm"), "RateBad.htm");
    for (const char* bad : {"", "Sonvera.chm::/html/", "Sonvera.chm::/html/../secret.htm", "../Overview.htm",
                            "/etc/passwd", "html/Overview.htm", "Other.chm::/html/Overview.htm", "Overview.html",
                            "Overview", ".htm", "Over view.htm", "..htm"})
        EXPECT_EQ(HelpPageFile(bad), "") << bad;
    EXPECT_EQ(HelpPagePath("../x.htm"), "");
}

TEST(Help, DirectoryFollowsTheEnvironment)
{
    {
        ScopedEnv env("SONVERA_HELP_DIR", "/tmp/sonvera-help");
        EXPECT_EQ(HelpDirectory(), "/tmp/sonvera-help");
        EXPECT_EQ(HelpPagePath("Sonvera.chm::/html/SkipButton.htm"), "/tmp/sonvera-help/SkipButton.htm");
    }
    ScopedEnv unset("SONVERA_HELP_DIR", "");
    std::string found = HelpDirectory();
    EXPECT_TRUE(std::filesystem::exists(found + "/" + kHelpIndexPage)) << found;
}

TEST(Help, CloseHintIsTranslated)
{
    std::set<std::string> texts;
    for (int language : kInterfaceLanguages) {
        std::string text = HelpPopupText(IDH_CLOSE_HINT, language);
        EXPECT_FALSE(text.empty()) << language;
        EXPECT_TRUE(IsValidUtf8(text));
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), 4u);
    EXPECT_EQ(HelpPopupText(IDH_CLOSE_HINT, 1031), HelpPopupText(IDH_CLOSE_HINT, kLanguageEnglish));
    EXPECT_EQ(HelpPopupText(1001, kLanguageEnglish), "");
}
