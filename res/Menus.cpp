#include "res/Menus.h"

#include "res/ResourceIds.h"
#include "res/StringTable.h"

#include <map>

namespace {

// Keys of the submenu titles; commands are keyed by their own ID.
enum PopupKey : int {
    kPopupFile = -1,
    kPopupView = -2,
    kPopupDownload = -3,
    kPopupOptions = -4,
    kPopupPlayer = -5,
    kPopupHelp = -6,
    kPopupTray = -7,
};

using MenuTexts = std::map<int, std::string>;

const MenuTexts& EnglishTexts()
{
    static const MenuTexts texts = {
        {kPopupFile, "&File"},
        {ID_ADD_FILES, "&Add files"},
        {ID_EXIT, "E&xit"},
        {kPopupView, "&View"},
        {ID_CATALOG, "&Catalog"},
        {ID_SEARCH, "&Search"},
        {ID_INFO_BROWSER, "&Info Browser"},
        {ID_WHY_THIS_TRACK, "&Why this track?"},
        {kPopupDownload, "&Download"},
        {ID_ADD_ARTIST, "&Add artist"},
        {ID_VIEW_ACTIVITY, "&View activity"},
        {kPopupOptions, "&Options"},
        {kPopupPlayer, "&Player"},
        {ID_PLAYER_MEDIA_PLAYER, "&Media Player (internal)"},
        {ID_PLAYER_WINAMP, "&WinAmp (external)"},
        {ID_PLAYER_FMOD, "&FMOD (internal)"},
        {ID_VOICE, "V&oice"},
        {ID_PLAY_SETTINGS, "Play &settings"},
        {ID_LEARN_FROM_SKIPS, "&Learn from skips"},
        {kPopupHelp, "&Help"},
        {ID_HELP_INDEX, "&Index\tF1"},
        {ID_ABOUT, "&About"},
        {kPopupTray, "Sonvera"},
        {ID_TRAY_AWESOME, "&Awesome"},
        {ID_TRAY_GOOD, "&Good"},
        {ID_TRAY_NORMAL, "&Normal"},
        {ID_TRAY_BAD, "&Bad"},
        {ID_TRAY_EXCLUDE, "&Exclude"},
        {ID_TRAY_SKIP, "&Skip"},
    };
    return texts;
}

const MenuTexts& HebrewTexts()
{
    static const MenuTexts texts = {
        {kPopupFile, "&קובץ"},
        {ID_ADD_FILES, "&הוסף קבצים"},
        {ID_EXIT, "&יציאה"},
        {kPopupView, "&תצוגה"},
        {ID_CATALOG, "&קטלוג"},
        {ID_SEARCH, "&חיפוש"},
        {ID_INFO_BROWSER, "&דפדפן מידע"},
        {ID_WHY_THIS_TRACK, "&למה השיר הזה?"},
        {kPopupDownload, "&הורדה"},
        {ID_ADD_ARTIST, "&הוסף אמן"},
        {ID_VIEW_ACTIVITY, "&צפה בפעילות"},
        {kPopupOptions, "&אפשרויות"},
        {kPopupPlayer, "&נגן"},
        {ID_PLAYER_MEDIA_PLAYER, "&Media Player (פנימי)"},
        {ID_PLAYER_WINAMP, "&WinAmp (חיצוני)"},
        {ID_PLAYER_FMOD, "&FMOD (פנימי)"},
        {ID_VOICE, "&קריינות"},
        {ID_PLAY_SETTINGS, "הגדרות &השמעה"},
        {ID_LEARN_FROM_SKIPS, "&ללמוד מדילוגים"},
        {kPopupHelp, "&עזרה"},
        {ID_HELP_INDEX, "&אינדקס\tF1"},
        {ID_ABOUT, "או&דות"},
        {kPopupTray, "Sonvera"},
        {ID_TRAY_AWESOME, "&מעולה"},
        {ID_TRAY_GOOD, "&טוב"},
        {ID_TRAY_NORMAL, "&רגיל"},
        {ID_TRAY_BAD, "&גרוע"},
        {ID_TRAY_EXCLUDE, "&החרג"},
        {ID_TRAY_SKIP, "&דלג"},
    };
    return texts;
}

const MenuTexts& DutchTexts()
{
    static const MenuTexts texts = {
        {kPopupFile, "&Bestand"},
        {ID_ADD_FILES, "Bestanden &toevoegen"},
        {ID_EXIT, "&Afsluiten"},
        {kPopupView, "B&eeld"},
        {ID_CATALOG, "&Catalogus"},
        {ID_SEARCH, "&Zoeken"},
        {ID_INFO_BROWSER, "&Infobrowser"},
        {ID_WHY_THIS_TRACK, "&Waarom dit nummer?"},
        {kPopupDownload, "&Downloaden"},
        {ID_ADD_ARTIST, "&Artiest toevoegen"},
        {ID_VIEW_ACTIVITY, "Activiteit &bekijken"},
        {kPopupOptions, "&Opties"},
        {kPopupPlayer, "&Speler"},
        {ID_PLAYER_MEDIA_PLAYER, "&Media Player (intern)"},
        {ID_PLAYER_WINAMP, "&WinAmp (extern)"},
        {ID_PLAYER_FMOD, "&FMOD (intern)"},
        {ID_VOICE, "S&tem"},
        {ID_PLAY_SETTINGS, "&Afspeelinstellingen"},
        {ID_LEARN_FROM_SKIPS, "&Leren van overslaan"},
        {kPopupHelp, "&Help"},
        {ID_HELP_INDEX, "&Index\tF1"},
        {ID_ABOUT, "&Over Sonvera"},
        {kPopupTray, "Sonvera"},
        {ID_TRAY_AWESOME, "&Geweldig"},
        {ID_TRAY_GOOD, "G&oed"},
        {ID_TRAY_NORMAL, "&Normaal"},
        {ID_TRAY_BAD, "S&lecht"},
        {ID_TRAY_EXCLUDE, "&Uitsluiten"},
        {ID_TRAY_SKIP, "O&verslaan"},
    };
    return texts;
}

const MenuTexts& ChineseTexts()
{
    static const MenuTexts texts = {
        {kPopupFile, "文件(&F)"},
        {ID_ADD_FILES, "添加文件(&A)"},
        {ID_EXIT, "退出(&X)"},
        {kPopupView, "查看(&V)"},
        {ID_CATALOG, "音乐目录(&C)"},
        {ID_SEARCH, "搜索(&S)"},
        {ID_INFO_BROWSER, "信息浏览器(&I)"},
        {ID_WHY_THIS_TRACK, "为什么是这首？(&W)"},
        {kPopupDownload, "下载(&D)"},
        {ID_ADD_ARTIST, "添加艺术家(&A)"},
        {ID_VIEW_ACTIVITY, "查看下载活动(&V)"},
        {kPopupOptions, "选项(&O)"},
        {kPopupPlayer, "播放器(&P)"},
        {ID_PLAYER_MEDIA_PLAYER, "Media Player（内置）(&M)"},
        {ID_PLAYER_WINAMP, "WinAmp（外部）(&W)"},
        {ID_PLAYER_FMOD, "FMOD（内置）(&F)"},
        {ID_VOICE, "语音播报(&V)"},
        {ID_PLAY_SETTINGS, "播放设置(&S)"},
        {ID_LEARN_FROM_SKIPS, "从跳过中学习(&L)"},
        {kPopupHelp, "帮助(&H)"},
        {ID_HELP_INDEX, "索引(&I)\tF1"},
        {ID_ABOUT, "关于(&A)"},
        {kPopupTray, "Sonvera"},
        {ID_TRAY_AWESOME, "太棒了(&A)"},
        {ID_TRAY_GOOD, "好(&G)"},
        {ID_TRAY_NORMAL, "一般(&N)"},
        {ID_TRAY_BAD, "差(&B)"},
        {ID_TRAY_EXCLUDE, "排除(&E)"},
        {ID_TRAY_SKIP, "跳过(&S)"},
    };
    return texts;
}

const MenuTexts& TextsOf(int languageId)
{
    switch (languageId) {
    case kLanguageHebrew: return HebrewTexts();
    case kLanguageDutch: return DutchTexts();
    case kLanguageChinese: return ChineseTexts();
    default: return EnglishTexts();
    }
}

// Builds entries from one language's texts, so every language shares one layout.
class MenuBuilder {
public:
    explicit MenuBuilder(const MenuTexts& texts) : texts_(texts) {}

    MenuItemDef Command(int commandId) const { return {commandId, Text(commandId), {}, false}; }
    MenuItemDef Popup(int key, std::vector<MenuItemDef> children) const
    {
        return {0, Text(key), std::move(children), false};
    }
    static MenuItemDef Separator() { return {0, {}, {}, true}; }

private:
    std::string Text(int key) const
    {
        auto it = texts_.find(key);
        return it == texts_.end() ? std::string() : it->second;
    }

    const MenuTexts& texts_;
};

std::vector<MenuItemDef> MainMenu(const MenuBuilder& m)
{
    return {
        m.Popup(kPopupFile, {m.Command(ID_ADD_FILES), MenuBuilder::Separator(), m.Command(ID_EXIT)}),
        m.Popup(kPopupView, {m.Command(ID_CATALOG), m.Command(ID_SEARCH), m.Command(ID_INFO_BROWSER),
                             MenuBuilder::Separator(), m.Command(ID_WHY_THIS_TRACK)}),
        m.Popup(kPopupDownload, {m.Command(ID_ADD_ARTIST), m.Command(ID_VIEW_ACTIVITY)}),
        m.Popup(kPopupOptions,
                {m.Popup(kPopupPlayer, {m.Command(ID_PLAYER_MEDIA_PLAYER), m.Command(ID_PLAYER_WINAMP),
                                        m.Command(ID_PLAYER_FMOD)}),
                 MenuBuilder::Separator(), m.Command(ID_VOICE), m.Command(ID_PLAY_SETTINGS),
                 m.Command(ID_LEARN_FROM_SKIPS)}),
        m.Popup(kPopupHelp, {m.Command(ID_HELP_INDEX), MenuBuilder::Separator(), m.Command(ID_ABOUT)}),
    };
}

std::vector<MenuItemDef> TrayMenu(const MenuBuilder& m)
{
    return {m.Popup(kPopupTray, {m.Command(ID_TRAY_AWESOME), m.Command(ID_TRAY_GOOD), m.Command(ID_TRAY_NORMAL),
                                 m.Command(ID_TRAY_BAD), m.Command(ID_TRAY_EXCLUDE), MenuBuilder::Separator(),
                                 m.Command(ID_TRAY_SKIP), m.Command(ID_EXIT)})};
}

}  // namespace

std::vector<MenuItemDef> LoadResMenu(int menuId, int languageId)
{
    MenuBuilder builder(TextsOf(languageId));
    switch (menuId) {
    case IDR_MAINMENU: return MainMenu(builder);
    case IDR_TRAYMENU: return TrayMenu(builder);
    default: return {};
    }
}
