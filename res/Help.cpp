#include "res/Help.h"

#include "res/ResourceIds.h"
#include "res/StringTable.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

constexpr const char* kTopicPrefix = "Sonvera.chm::/html/";

struct ControlTopic {
    int controlId;
    const char* page;
};

constexpr ControlTopic kControlTopics[] = {
    {IDC_MAIN_SKIP, "SkipButton.htm"},
    {IDC_MAIN_MOOD_LIST, "MoodSelector.htm"},
    {IDC_MAIN_POSITION_SLIDER, "SongSlider.htm"},
    {IDC_MAIN_AWESOME, "RateAwesome.htm"},
    {IDC_MAIN_GOOD, "RateGood.htm"},
    {IDC_MAIN_NORMAL, "RateNormal.htm"},
    {IDC_MAIN_BAD, "RateBad.htm"},
    {IDC_MAIN_PAUSE, "PauseButton.htm"},
    {IDC_MAIN_VOLUME_SLIDER, "VolumeSlider.htm"},
};

constexpr const char* kOverviewPage = "Overview.htm";

// Pages that F1 does not reach directly but the index links to.
constexpr const char* kExtraPages[] = {
    "Exclude.htm", "Players.htm", "Voice.htm", "PlaySettings.htm", "AddingMusic.htm", "Downloading.htm",
    "TrackInfo.htm", "Windows.htm", "Tray.htm",
};

bool IsPlainPageName(const std::string& name)
{
    if (name.empty() || name.size() > 64 || name.front() == '.')
        return false;
    for (char c : name) {
        bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
                       c == '-' || c == '.';
        if (!allowed)
            return false;
    }
    return name.find("..") == std::string::npos && name.size() > 4 && name.ends_with(".htm");
}

bool IsDirectory(const std::filesystem::path& path)
{
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

}  // namespace

std::string HelpTopicForControl(int controlId)
{
    for (const ControlTopic& topic : kControlTopics)
        if (topic.controlId == controlId)
            return std::string(kTopicPrefix) + topic.page;
    return std::string(kTopicPrefix) + kOverviewPage;
}

std::string HelpPageFile(const std::string& topicRef)
{
    std::string name = topicRef;
    if (name.starts_with(kTopicPrefix))
        name.erase(0, std::char_traits<char>::length(kTopicPrefix));
    return IsPlainPageName(name) ? name : std::string();
}

std::string HelpDirectory()
{
    if (const char* fromEnvironment = std::getenv("SONVERA_HELP_DIR"); fromEnvironment && *fromEnvironment)
        return fromEnvironment;
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        // The program may sit one or two folders below the build root that holds the pages.
        std::filesystem::path dir = exe.parent_path();
        for (int level = 0; level < 3 && !dir.empty(); ++level, dir = dir.parent_path()) {
            if (IsDirectory(dir / "help" / "html"))
                return (dir / "help" / "html").string();
            if (dir == dir.root_path())
                break;
        }
    }
    return SONVERA_HELP_SOURCE_DIR;
}

std::string HelpPagePath(const std::string& topicRef)
{
    std::string page = HelpPageFile(topicRef);
    return page.empty() ? std::string() : HelpDirectory() + "/" + page;
}

std::vector<std::string> HelpPages()
{
    std::vector<std::string> pages = {kHelpIndexPage, kOverviewPage};
    for (const ControlTopic& topic : kControlTopics)
        pages.emplace_back(topic.page);
    for (const char* page : kExtraPages)
        pages.emplace_back(page);
    return pages;
}

std::string HelpPopupText(int contextId, int languageId)
{
    if (contextId != IDH_CLOSE_HINT)
        return {};
    switch (languageId) {
    case kLanguageHebrew:
        return "Sonvera ממשיך לנגן ברקע. לחץ פעמיים על הסמל באזור ההודעות כדי להחזיר את החלון, או בחר "
               "\"יציאה\" כדי לסגור את התוכנית.";
    case kLanguageDutch:
        return "Sonvera speelt op de achtergrond verder. Dubbelklik op het pictogram in het systeemvak om het "
               "venster terug te halen, of kies \"Afsluiten\" om het programma te sluiten.";
    case kLanguageChinese:
        return "Sonvera 仍在后台继续播放。双击通知区域中的图标可恢复窗口，选择“退出”可关闭程序。";
    default:
        return "Sonvera keeps playing in the background. Double-click its icon in the notification area to "
               "bring the window back, or choose \"Exit\" to close the program.";
    }
}
